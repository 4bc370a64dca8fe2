#pragma once
// How the registry stores names and values on disc.
//
// Names: a key or value name becomes one file name by writing '%', '/', '=', '~', control
// characters and a leading '.' as "%XX" (hexadecimal). No encoded name is "." or "..", holds a
// '/' or begins with '=' or '~', so value files ("=" + encoded name) and the store's temporary
// files ("~...") never meet a key's directory.
//
// Value files: "QXRV", then three 32-bit little-endian words (type, data size, FastStringHash32
// of the data with the type as initial value), then exactly `size` data bytes. Anything else,
// an unknown type or a 32-bit value of other than 4 bytes, is a damaged file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Quorlix {

/// Value types, numbered as the system's registry numbers them.
enum class RegistryValueType : uint32_t { String = 1, Binary = 3, U32 = 4 };

/// The largest value: settings are small, and a reader must never allocate without bound.
constexpr size_t k_RegistryMaxValueBytes = 1 << 20;
constexpr size_t k_RegistryValueHeaderBytes = 16;
/// The longest encoded name a file name can hold (one byte is kept for the value prefix).
constexpr size_t k_RegistryMaxEncodedName = 254;

/// The file name part for `name`; false when it would be longer than k_RegistryMaxEncodedName.
bool EncodeRegistryName(const char* name, std::string& encoded);
/// The name an encoded file name stands for; a '%' without two hexadecimal digits stays as is.
std::string DecodeRegistryName(const char* encoded);

/// The whole file for a value; false (nothing written) when `size` is over the limit.
bool EncodeRegistryValue(RegistryValueType type, const void* data, size_t size,
                         std::vector<unsigned char>& file);
/// Checks a whole file and finds its data: true with the type and the data's place in `file`,
/// false for a damaged file.
bool DecodeRegistryValue(const unsigned char* file, size_t fileSize, RegistryValueType& type,
                         const unsigned char*& data, size_t& size);

} // namespace Quorlix
