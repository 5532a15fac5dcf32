#include "WindowPlacement.h"

#include <cstring>

namespace {

// Field offsets of the record.
constexpr std::size_t kLength = 0;
constexpr std::size_t kShowCmd = 8;
constexpr std::size_t kMinPosition = 12;
constexpr std::size_t kNormalRect = 28;

void Put(std::vector<BYTE>& bytes, std::size_t offset, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<BYTE>(bits >> (8 * i));
    }
}

std::int32_t Get(const std::vector<BYTE>& bytes, std::size_t offset) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        bits |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return static_cast<std::int32_t>(bits);
}

// Largest sensible coordinate; larger values are damage.
constexpr std::int32_t kCoordinateLimit = 1 << 20;

}  // namespace

std::vector<BYTE> PackWindowPlacement(const OvWindowPlacement& placement) {
    std::vector<BYTE> bytes(kPlacementSize, 0);
    Put(bytes, kLength, static_cast<std::int32_t>(kPlacementSize));
    Put(bytes, kShowCmd, static_cast<std::int32_t>(placement.showCmd));
    for (std::size_t i = 0; i < 4; ++i) {
        Put(bytes, kMinPosition + 4 * i, -1);
    }
    const QRect& r = placement.normal;
    Put(bytes, kNormalRect, r.left());
    Put(bytes, kNormalRect + 4, r.top());
    Put(bytes, kNormalRect + 8, r.left() + r.width());
    Put(bytes, kNormalRect + 12, r.top() + r.height());
    return bytes;
}

std::optional<OvWindowPlacement> UnpackWindowPlacement(const std::vector<BYTE>& bytes, const QList<QRect>& screens) {
    if (bytes.size() != kPlacementSize || Get(bytes, kLength) != static_cast<std::int32_t>(kPlacementSize)) {
        return std::nullopt;
    }
    const std::int32_t show = Get(bytes, kShowCmd);
    if (show == static_cast<std::int32_t>(kShowMinimized) || show < 0 || show > 11) {
        return std::nullopt;
    }
    std::int32_t edges[4];
    for (std::size_t i = 0; i < 4; ++i) {
        edges[i] = Get(bytes, kNormalRect + 4 * i);
        if (edges[i] < -kCoordinateLimit || edges[i] > kCoordinateLimit) {
            return std::nullopt;
        }
    }
    const QRect normal(QPoint(edges[0], edges[1]), QSize(edges[2] - edges[0], edges[3] - edges[1]));
    if (normal.width() <= 0 || normal.height() <= 0) {
        return std::nullopt;
    }
    bool onScreen = false;
    for (const QRect& screen : screens) {
        onScreen = onScreen || screen.intersects(normal);
    }
    if (!onScreen) {
        return std::nullopt;
    }
    OvWindowPlacement placement;
    placement.showCmd = show == static_cast<std::int32_t>(kShowMaximized) ? kShowMaximized : kShowNormal;
    placement.normal = normal;
    return placement;
}
