#pragma once

#include <cstddef>
#include <cstdint>

// CRC-32 as zip, PNG and yEnc use it: reflected polynomial 0xEDB88320, register started and
// ended inverted. Crc32(0, p, 0) is 0, and Crc32(Crc32(0, a, na), b, nb) is the CRC of a
// followed by b, so a file can be checked a block at a time.
std::uint32_t Crc32(std::uint32_t crc, const unsigned char* data, std::size_t n);

// The CRC of A followed by B, from the CRCs of A and B and the length of B: a file's CRC from
// the CRCs of its parts, whatever order they were read in.
std::uint32_t Crc32Combine(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t lengthB);
