// Text codings of SMS user data: the GSM 7-bit default alphabet with its
// extension table (TS 23.038), septet packing, UCS2, and UTF-8 on our side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace modemsim {

// UTF-8 <-> code points. Invalid UTF-8 fails.
bool Utf8ToCodePoints(const std::string& utf8, std::vector<uint32_t>* out);
std::string CodePointsToUtf8(const std::vector<uint32_t>& codePoints);

// Code points -> septets of the default alphabet (escape + extension where
// needed). Fails when a character has no septet.
bool CodePointsToGsm7(const std::vector<uint32_t>& codePoints, std::vector<uint8_t>* septets);
std::string Gsm7ToUtf8(const std::vector<uint8_t>& septets);

// Packs septets least significant bit first, starting `fillBits` bits into
// the first octet (the fill after a user-data header).
std::vector<uint8_t> PackSeptets(const std::vector<uint8_t>& septets, unsigned fillBits = 0);
// Reads `count` septets starting at bit `startBit` of the octets.
std::vector<uint8_t> UnpackSeptets(const std::vector<uint8_t>& octets, size_t count, size_t startBit = 0);

// UTF-16 big-endian, surrogate pairs for code points beyond the BMP.
std::vector<uint8_t> CodePointsToUcs2(const std::vector<uint32_t>& codePoints);
std::string Ucs2ToUtf8(const uint8_t* octets, size_t count);

}  // namespace modemsim
