#include <cstdio>
int main() { std::puts("vantor"); return 0; }
