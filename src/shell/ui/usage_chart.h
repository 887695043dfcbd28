#pragma once
// The drive browser's usage chart: a pie with a three-dimensional rim,
// drawn off-screen and stretched into the chart rectangle.
#include <QPixmap>
#include <QSize>
#include <vector>

#include "shell/ui/drive_browser_model.h"

namespace vantor::ui {

QPixmap RenderUsageChart(const std::vector<ChartSlice>& slices, QSize target);

}  // namespace vantor::ui
