#pragma once
// The "-lh5-" compression of LHA archives: LZ77 over an 8 KiB window with static Huffman codes
// per block, in the bit layout every LHA tool reads.

#include <cstddef>
#include <cstdint>
#include <string>

std::string Lh5Compress(const uint8_t* data, size_t size);

// CRC-16 (polynomial 0xA001, reflected, start 0) as LHA headers carry it.
uint16_t LhaCrc16(const uint8_t* data, size_t size, uint16_t crc = 0);
