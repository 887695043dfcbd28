// Skinned controls: which face a button shows in each state, that the face
// is what gets painted, and that every image the shell names exists at the
// size its control is laid out with.
#include <QEnterEvent>
#include <QIcon>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include "shell/ui/skin.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/skin_category_list.h"

using namespace vantor::ui;

namespace {

void Enter(QWidget* w) {
    QEnterEvent e(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
    QCoreApplication::sendEvent(w, &e);
}
void Leave(QWidget* w) {
    QEvent e(QEvent::Leave);
    QCoreApplication::sendEvent(w, &e);
}
QSize LayoutSize(int number) { return SkinPixmap(number).deviceIndependentSize().toSize(); }
QImage Shot(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_ARGB32); }

}  // namespace

TEST(SkinButton, ShowsEachFaceByState) {
    QWidget parent;
    parent.resize(200, 120);
    CSkinButton b(QStringLiteral("Home"), &parent, QRect(13, 9, 130, 94), 1011);
    b.SetFaces(156, 140, 294, 156);
    parent.show();

    EXPECT_EQ(b.currentFaceNumber(), 156);
    Enter(&b);
    EXPECT_EQ(b.currentFace(), CSkinButton::Face::Hover);
    EXPECT_EQ(b.currentFaceNumber(), 294);
    b.setDown(true);  // pressed wins over hover
    EXPECT_EQ(b.currentFaceNumber(), 140);
    b.setDown(false);
    Leave(&b);  // off the button: back to rest at once
    EXPECT_EQ(b.currentFaceNumber(), 156);
    EXPECT_FALSE(b.hovered());
    b.setEnabled(false);
    EXPECT_EQ(b.currentFace(), CSkinButton::Face::Disabled);
    EXPECT_EQ(b.currentFaceNumber(), 156);
}

TEST(SkinButton, ZeroFacesFallBackToNormal) {
    CSkinButton b(QStringLiteral("Next"), nullptr, QRect(0, 0, 92, 32), 1025);
    b.SetFaces(162, 0, 0, 0);
    Enter(&b);
    EXPECT_EQ(b.currentFaceNumber(), 162);
    b.setDown(true);
    EXPECT_EQ(b.currentFaceNumber(), 162);
    b.setEnabled(false);
    EXPECT_EQ(b.currentFaceNumber(), 162);
}

TEST(SkinButton, PaintsTheChosenFaceAndNothingBeforeFacesAreSet) {
    QWidget parent;
    parent.resize(100, 40);
    CSkinButton b(QStringLiteral("Next"), &parent, QRect(0, 0, 92, 32), 1025);
    parent.show();
    const QImage bare = Shot(&b);
    EXPECT_FALSE(b.loaded());
    EXPECT_EQ(b.currentFaceNumber(), 0);

    b.SetFaces(162, 161, 209, 167);
    const QImage normal = Shot(&b);
    EXPECT_NE(normal, bare);
    // Inside the face's opaque fill the grab shows the face's own pixels.
    const QImage face = SkinPixmap(162).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(normal.pixel(8, 16), face.pixel(8, 16));
    Enter(&b);
    const QImage hover = Shot(&b);
    EXPECT_NE(hover, normal);
    Leave(&b);
    EXPECT_EQ(Shot(&b), normal);
    b.setEnabled(false);
    const QImage disabled = Shot(&b);
    EXPECT_NE(disabled, normal);
}

TEST(SkinButton, MouseMovesTrackTheHover) {
    QWidget parent;
    parent.resize(300, 120);
    CSkinButton b(QStringLiteral("Help"), &parent, QRect(10, 10, 130, 94), 1013);
    b.SetFaces(139, 138, 293, 139);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    QTest::mouseMove(&b, QPoint(60, 40));
    EXPECT_EQ(b.currentFaceNumber(), 293);
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(60, 40));
    EXPECT_EQ(b.currentFaceNumber(), 138);
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(60, 40));
    EXPECT_EQ(b.currentFaceNumber(), 293);
    Leave(&b);
    EXPECT_EQ(b.currentFaceNumber(), 139);
}

TEST(SkinButton, HidingForgetsTheHover) {
    CSkinButton b(QStringLiteral("MenuItem"), nullptr, QRect(0, 0, 568, 71), 600);
    b.SetFaces(250, 251, 252, 0);
    b.show();
    Enter(&b);
    ASSERT_TRUE(b.hovered());
    b.hide();
    b.show();
    EXPECT_EQ(b.currentFaceNumber(), 250);
}

TEST(SkinImages, EveryNamedImageExistsAtItsSize) {
    struct Named {
        int number;
        int width;
        int height;
    };
    const Named named[] = {
        {212, 770, 36},  {213, 772, 107}, {237, 168, 362}, {236, 602, 362}, {238, 602, 362}, {239, 602, 362},
        {158, 20, 17},   {157, 20, 17},   {131, 20, 17},   {130, 20, 17},   {151, 772, 371}, {172, 770, 362},
        {204, 772, 362}, {165, 48, 16},   {226, 131, 90},  {227, 131, 90},  {232, 131, 90},  {233, 131, 90},
        {193, 32, 32},   {198, 32, 32},
    };
    for (const Named& n : named) {
        SCOPED_TRACE(n.number);
        const QPixmap p = SkinPixmap(n.number);
        ASSERT_FALSE(p.isNull());
        EXPECT_EQ(LayoutSize(n.number), QSize(n.width, n.height));
    }
    // Top-bar buttons 130 x 94, task buttons 568 x 71, the small buttons.
    for (int n : {156, 140, 294, 139, 138, 293, 220, 219, 292}) EXPECT_EQ(LayoutSize(n), QSize(130, 94)) << n;
    for (int n : {250, 251, 252, 253, 254, 255, 243, 241, 242, 244, 245, 246, 311, 309, 310, 240, 260, 261, 259, 257, 258})
        EXPECT_EQ(LayoutSize(n), QSize(568, 71)) << n;
    for (int n : {164, 163, 211, 166}) EXPECT_EQ(LayoutSize(n), QSize(115, 32)) << n;
    for (int n : {160, 159, 210, 162, 161, 209, 167}) EXPECT_EQ(LayoutSize(n), QSize(92, 32)) << n;
    for (int n : {183, 184, 185, 186, 187, 194, 195, 196, 197}) EXPECT_EQ(LayoutSize(n), QSize(16, 16)) << n;
    for (int n : {203, 202, 201}) EXPECT_EQ(LayoutSize(n), QSize(92, 29)) << n;
    for (int n : {179, 178, 297, 180}) EXPECT_EQ(LayoutSize(n), QSize(117, 34)) << n;
    EXPECT_TRUE(SkinPixmap(99999).isNull());
}

TEST(SkinImages, FacesOfOneButtonDiffer) {
    // A face set whose states look alike would make hover and press invisible.
    const int sets[][3] = {{156, 140, 294}, {250, 251, 252}, {162, 161, 209}, {164, 163, 211}};
    for (const auto& s : sets) {
        const QImage a = SkinPixmap(s[0]).toImage(), b = SkinPixmap(s[1]).toImage(), c = SkinPixmap(s[2]).toImage();
        EXPECT_NE(a, b) << s[0];
        EXPECT_NE(a, c) << s[0];
        EXPECT_NE(b, c) << s[0];
    }
}

TEST(SkinCategoryList, ItemFacesAndGeometry) {
    EXPECT_EQ(CSkinCategoryList::FaceFor(0, false), 227);
    EXPECT_EQ(CSkinCategoryList::FaceFor(0, true), 226);
    EXPECT_EQ(CSkinCategoryList::FaceFor(1, false), 233);
    EXPECT_EQ(CSkinCategoryList::FaceFor(1, true), 232);
    QWidget parent;
    parent.resize(200, 480);
    CSkinCategoryList list(&parent, WinRect(18, 107, 156, 469));
    list.addItem(QStringLiteral("Data Recovery"));
    list.addItem(QStringLiteral("Email Repair"));
    parent.show();
    EXPECT_EQ(list.geometry(), QRect(18, 107, 138, 362));
    EXPECT_EQ(list.visualItemRect(list.item(1)).top(), CSkinCategoryList::kItemHeight);
    EXPECT_EQ(list.faceRect(1), QRect(5, 180 + 47, 131, 90));
}

TEST(SkinFont, MsSansSerifFallsBackToAnInstalledSans) {
    const QFont f = SkinFont(8);
    EXPECT_EQ(f.family(), QStringLiteral("MS Sans Serif"));
    const QFontInfo info(f);
    EXPECT_NE(info.family(), QStringLiteral("MS Sans Serif"));
    EXPECT_FALSE(info.family().isEmpty());
    EXPECT_EQ(info.pixelSize(), 11);  // 8 points on a 96-dpi screen
}

TEST(SkinIcons, FileIconsComeFromAnInstalledTheme) {
    // Without a theme the result lists would show blank file icons.
    EXPECT_FALSE(QIcon::themeName().isEmpty());
    EXPECT_FALSE(QIcon::fromTheme(QStringLiteral("text-x-generic")).isNull());
}
