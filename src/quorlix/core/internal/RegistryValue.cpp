#include "quorlix/core/internal/RegistryValue.h"

#include "quorlix/core/Endian.h"
#include "quorlix/core/Hash.h"
#include "quorlix/core/internal/HexDigit.h"

#include <cstring>

namespace Quorlix {

namespace {

constexpr unsigned char k_Magic[4] = {'Q', 'X', 'R', 'V'};

uint32_t Checksum(uint32_t type, const void* data, size_t size) {
    return FastStringHash32(static_cast<const unsigned char*>(data), static_cast<unsigned>(size),
                            type);
}

} // namespace

bool EncodeRegistryName(const char* name, std::string& encoded) {
    static const char k_Hex[] = "0123456789ABCDEF";
    encoded.clear();
    for (size_t i = 0; name[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c == '%' || c == '/' || c == '=' || c == '~' || c < 0x20 || c == 0x7F ||
            (i == 0 && c == '.')) {
            encoded += '%';
            encoded += k_Hex[c >> 4];
            encoded += k_Hex[c & 15];
        } else {
            encoded += static_cast<char>(c);
        }
        if (encoded.size() > k_RegistryMaxEncodedName)
            return false;
    }
    return true;
}

std::string DecodeRegistryName(const char* encoded) {
    std::string name;
    for (size_t i = 0; encoded[i] != '\0'; ++i) {
        if (encoded[i] == '%' && Internal::HexDigitValue(encoded[i + 1]) >= 0 &&
            Internal::HexDigitValue(encoded[i + 2]) >= 0) {
            name += static_cast<char>(Internal::HexDigitValue(encoded[i + 1]) * 16 +
                                      Internal::HexDigitValue(encoded[i + 2]));
            i += 2;
        } else {
            name += encoded[i];
        }
    }
    return name;
}

bool EncodeRegistryValue(RegistryValueType type, const void* data, size_t size,
                         std::vector<unsigned char>& file) {
    if (size > k_RegistryMaxValueBytes)
        return false;
    file.resize(k_RegistryValueHeaderBytes + size);
    std::memcpy(file.data(), k_Magic, 4);
    StoreLE32(file.data() + 4, static_cast<uint32_t>(type));
    StoreLE32(file.data() + 8, static_cast<uint32_t>(size));
    StoreLE32(file.data() + 12, Checksum(static_cast<uint32_t>(type), data, size));
    if (size > 0)
        std::memcpy(file.data() + k_RegistryValueHeaderBytes, data, size);
    return true;
}

bool DecodeRegistryValue(const unsigned char* file, size_t fileSize, RegistryValueType& type,
                         const unsigned char*& data, size_t& size) {
    if (fileSize < k_RegistryValueHeaderBytes || std::memcmp(file, k_Magic, 4) != 0)
        return false;
    const uint32_t typeWord = LoadLE32(file + 4);
    const uint32_t sizeWord = LoadLE32(file + 8);
    if (sizeWord > k_RegistryMaxValueBytes || sizeWord != fileSize - k_RegistryValueHeaderBytes)
        return false;
    if (typeWord != static_cast<uint32_t>(RegistryValueType::String) &&
        typeWord != static_cast<uint32_t>(RegistryValueType::Binary) &&
        !(typeWord == static_cast<uint32_t>(RegistryValueType::U32) && sizeWord == 4))
        return false;
    const unsigned char* payload = file + k_RegistryValueHeaderBytes;
    if (LoadLE32(file + 12) != Checksum(typeWord, payload, sizeWord))
        return false;
    type = static_cast<RegistryValueType>(typeWord);
    data = payload;
    size = sizeWord;
    return true;
}

} // namespace Quorlix
