// Hex helpers and a fixed entropy seam for the engine's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Entropy.h"

namespace enginetest {

inline std::string hex(const uint8_t* data, size_t length)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

template <class Bytes> std::string hex(const Bytes& bytes) { return hex(bytes.data(), bytes.size()); }

inline std::vector<uint8_t> bytes(const std::string& hexText)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hexText.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(hexText.substr(i, 2), nullptr, 16)));
    return out;
}

// Client challenges of 0xaa bytes and a time stamp of 0, as in the protocol's worked example.
struct FixedEntropy {
    FixedEntropy(uint8_t fill = 0xaa, uint64_t fileTime = 0)
    {
        Ntlm::EntropySeam seam;
        seam.providerRandom = [fill](uint8_t* buffer, size_t length) {
            std::fill(buffer, buffer + length, fill);
            return true;
        };
        seam.fileTime = [fileTime] { return fileTime; };
        Ntlm::setEntropySeam(seam);
    }
    ~FixedEntropy() { Ntlm::resetEntropySeam(); }
};

} // namespace enginetest
