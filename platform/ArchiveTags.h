// The archive's framing constants. DO NOT CHANGE THESE: they are embedded in stored files and in
// the transfer form that other stations read (docs/data-format.md).
#pragma once

#include <cstdint>

// Object tags.
inline constexpr uint16_t kNullTag = 0x0000;
inline constexpr uint16_t kNewClassTag = 0xFFFF;
inline constexpr uint16_t kClassTag = 0x8000;
inline constexpr uint16_t kBigObjectTag = 0x7FFF;
inline constexpr uint32_t kBigClassTag = 0x80000000;
inline constexpr uint32_t kMaxMapCount = 0x3FFFFFFE;
inline constexpr uint16_t kMaxClassNameLength = 63;
// The schema of classes that are not serialisable.
inline constexpr uint16_t kNotSerializable = 0xFFFF;

// Text length prefixes: one byte below 255, else FF and 16 bits below 0xFFFE, else FF FFFF and
// 32 bits. FF FFFE announces a wide-character text, which this library does not use.
inline constexpr uint8_t kLongTextMarker = 0xFF;
inline constexpr uint16_t kHugeTextMarker = 0xFFFF;
inline constexpr uint16_t kWideTextMarker = 0xFFFE;
// Counts: 16 bits, or FFFF and 32 bits.
inline constexpr uint16_t kLongCountMarker = 0xFFFF;
