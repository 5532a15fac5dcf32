#include "ovui/LightColor.h"

#include <algorithm>

namespace {

int Mix(int a, int b, int weight) noexcept {
    return (a * weight + b * (100 - weight) + 50) / 100;
}

}  // namespace

QColor LightColor(const QColor& colour, const QColor& other, int weight) noexcept {
    const int w = std::clamp(weight, 0, 100);
    return QColor(Mix(colour.red(), other.red(), w), Mix(colour.green(), other.green(), w),
                  Mix(colour.blue(), other.blue(), w));
}
