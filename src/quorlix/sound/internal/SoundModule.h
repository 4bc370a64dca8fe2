#pragma once
// Finding, loading and resolving the sound module for SoundDevice::Create and
// AudioSrcFile::Create.

#include <string>

namespace Quorlix {

namespace Platform {
struct DynamicLibrary;
}

namespace Internal {

/// The exported names of the two factories declared in SoundDevice.h, as the C++ ABI decorates
/// them (checked against the symbols of a module built from those declarations).
inline constexpr char k_SoundDeviceFactorySymbol[] =
    "_ZN7Quorlix28CreateSoundDeviceDirectSoundENS_11SoundDevice6SDTypeENS0_11SpeakerTypeENS0_"
    "7QualityEPv";
inline constexpr char k_AudioSrcFileFactorySymbol[] =
    "_ZN7Quorlix25CreateAudioSrcFileWindowsERKNS_9StringRefERlNS_12AudioSrcFile9CacheModeE";

/// The environment variable that forces a module variant, and the longest variant it may name.
inline constexpr char k_SoundModuleVariable[] = "QUORLIX_SOUND_MODULE";
inline constexpr size_t k_MaxVariantLength = 16;

/// "libQuorlix010219SOUND" + variant + ".so".
std::string SoundModuleFileName(const std::string& variant);

/// Which factory a caller wants; the audio-file path remembers its automatic variant choice.
enum class SoundFactory { Device, AudioFile };

/// A loaded module with its resolved factory.
struct SoundModule {
    Platform::DynamicLibrary* m_Library = nullptr;
    void* m_Factory = nullptr;
    std::string m_FileName;
    bool m_AutomaticDX8 = false; // DX8 chosen, not forced: DX3 may stand in for it
};

/// Picks the variant (forced by QUORLIX_SOUND_MODULE, else DX8 when the system's OpenAL
/// library loads, else DX3), loads the module (DX3 once more when DX8 fails and nothing was
/// forced) and resolves the factory. Failures are logged at error level with `caller`
/// ("SoundDevice::Create") in front of the module's file name; the result is then empty and
/// nothing stays loaded.
/// With `variant` given, that module is loaded as if forced.
SoundModule LoadSoundModule(const char* caller, SoundFactory factory,
                            const char* variant = nullptr);

} // namespace Internal
} // namespace Quorlix
