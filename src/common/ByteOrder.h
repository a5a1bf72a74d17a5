// Numbers in byte buffers: little-endian, as the PCX and tracker formats,
// WAV and the capture's raw frames store them, and big-endian, as MOD
// modules and TrueType fonts do. The caller keeps `at` within `bytes`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

inline uint32_t GetLe16(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8;
}

inline uint32_t GetLe32(std::span<const uint8_t> bytes, size_t at) {
    return GetLe16(bytes, at) | GetLe16(bytes, at + 2) << 16;
}

inline void PutLe16(std::span<uint8_t> bytes, size_t at, uint32_t value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}

inline void PutLe32(std::span<uint8_t> bytes, size_t at, uint32_t value) {
    PutLe16(bytes, at, value & 0xFFFF);
    PutLe16(bytes, at + 2, value >> 16);
}

inline uint32_t GetBe16(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t(bytes[at]) << 8 | uint32_t(bytes[at + 1]);
}

inline uint32_t GetBe32(std::span<const uint8_t> bytes, size_t at) {
    return GetBe16(bytes, at) << 16 | GetBe16(bytes, at + 2);
}
