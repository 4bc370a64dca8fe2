// The modules' decoding through AudioSrcFile::Create: every container against libsndfile
// reading the same file, the cursors at the edges of their caches, archives, and broken files.

#include "SoundModuleTestSupport.h"

#include "quorlix/sound/SoundSource.h"
#include "quorlix/stream/Archive.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstring>
#include <functional>
#include <random>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

constexpr int k_Cache = AudioSrcFile::k_CacheBytes;

/// Every sample of `path` as libsndfile decodes it to 16 bits.
std::vector<int16_t> Reference(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return {};
    std::vector<int16_t> samples(size_t(info.frames) * size_t(info.channels));
    samples.resize(size_t(sf_readf_short(file, samples.data(), info.frames)) * info.channels);
    sf_close(file);
    return samples;
}

/// Everything a cursor reads from where it stands, in pieces of `piece` bytes.
std::string ReadAll(AudioSrcFile& file, int cursor, int piece = 7777) {
    std::string bytes, buffer(size_t(piece), '\0');
    for (int n; (n = file.Read(buffer.data(), piece, cursor)) > 0;)
        bytes.append(buffer.data(), size_t(n));
    return bytes;
}

std::string Slice(const std::vector<int16_t>& samples, int64_t position, size_t bytes) {
    const auto* data = reinterpret_cast<const char*>(samples.data());
    const size_t size = samples.size() * 2;
    const size_t from = std::min(size_t(position), size);
    return std::string(data + from, std::min(bytes, size - from));
}

void Put(std::string& bytes, size_t at, uint32_t value, int width, bool bigEndian) {
    for (int i = 0; i < width && at + size_t(i) < bytes.size(); ++i) {
        const int shift = 8 * (bigEndian ? width - 1 - i : i);
        bytes[at + size_t(i)] = static_cast<char>((value >> shift) & 0xFF);
    }
}

size_t Find(const std::string& bytes, const char* tag) {
    const size_t at = bytes.find(tag);
    return at == std::string::npos ? bytes.size() : at;
}

/// The CRC of an Ogg page (its CRC field zeroed), for pages whose header is patched.
void FixOggPage(std::string& bytes) {
    const size_t length = 27 + size_t(uint8_t(bytes[26]));
    size_t body = 0;
    for (size_t i = 27; i < length; ++i)
        body += uint8_t(bytes[i]);
    Put(bytes, 22, 0, 4, false);
    uint32_t crc = 0;
    for (size_t i = 0; i < length + body && i < bytes.size(); ++i) {
        crc ^= uint32_t(uint8_t(bytes[i])) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    Put(bytes, 22, crc, 4, false);
}

class AudioSrcFileD : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("QUORLIX_SOUND_MODULE", "DX8", 1); }
    TempDir m_Folder;
};

} // namespace

TEST_F(AudioSrcFileD, DecodesEveryContainerLikeLibsndfile) {
    const struct {
        const char* m_Name;
        AudioSrcFile::FileType m_Type;
    } files[] = {{"t.wav", AudioSrcFile::FileWAV},
                 {"t.aiff", AudioSrcFile::FileAIFF},
                 {"t.flac", AudioSrcFile::FileFLAC},
                 {"t.ogg", AudioSrcFile::FileOgg}};
    for (const auto& f : files) {
        // Two tones, one per channel, for 1.5 s: more than two streaming caches.
        const std::string path = m_Folder / f.m_Name;
        ASSERT_TRUE(Sox("-n -r 44100 -c 2 -b 16 " + path + " synth 1.5 sine 440 sine 660"));
        const std::vector<int16_t> reference = Reference(path);
        ASSERT_GT(reference.size() * 2, size_t(2 * k_Cache));
        for (const auto mode : {AudioSrcFile::CacheStreaming, AudioSrcFile::CacheWholeFile}) {
            SCOPED_TRACE(std::string(f.m_Name) + (mode ? " whole file" : " streaming"));
            int64_t size = -1;
            Obj<AudioSrcFile> file(AudioSrcFile::Create(String(path.c_str()), size, mode));
            ASSERT_TRUE(file);
            EXPECT_EQ(file->GetFileType(), f.m_Type);
            EXPECT_EQ(file->GetCacheMode(), mode);
            uint32_t rate = 0, bits = 0, channels = 0;
            file->GetSrcFormat(rate, bits, channels);
            EXPECT_EQ(rate, 44100u);
            EXPECT_EQ(bits, 16u);
            EXPECT_EQ(channels, 2u);
            EXPECT_EQ(size, int64_t(reference.size()) * 2);
            EXPECT_EQ(file->GetSize(), size);

            const int cursor = mode ? file->AddModeAll() : file->AddModePointer();
            const int other = mode ? file->AddModeAll() : file->AddModePointer();
            EXPECT_TRUE(ReadAll(*file, cursor) == Slice(reference, 0, size_t(size)));
            // Reads that straddle the caches' edges, after jumps there and moves by Skip.
            for (const int64_t at :
                 {int64_t(k_Cache) - 4, int64_t(k_Cache), 2 * int64_t(k_Cache) - 2, size - 6}) {
                ASSERT_EQ(file->PeekAt(at, other), at);
                std::string piece(12, '\0');
                piece.resize(size_t(file->Read(piece.data(), 12, other)));
                EXPECT_TRUE(piece == Slice(reference, at, 12)) << "at " << at;
            }
            for (const int64_t step : {int64_t(300), int64_t(k_Cache) + 10}) {
                ASSERT_EQ(file->PeekAt(1000, other), 1000);
                ASSERT_EQ(file->Skip(step, other), 1000 + step);
                EXPECT_EQ(file->GetCurrentPos(other), 1000 + step);
                std::string piece(8, '\0');
                ASSERT_EQ(file->Read(piece.data(), 8, other), 8);
                EXPECT_TRUE(piece == Slice(reference, 1000 + step, 8)) << "skip " << step;
            }
            EXPECT_EQ(file->PeekAt(size + 2, other), -1);
            EXPECT_EQ(file->Read(nullptr, 4, 99), -1);
        }
    }
}

// Float samples keep their level: 0.25 of full scale decodes to a quarter of 32767, in both
// cache modes (the decoder's own float scaling would normalise the file to its peak).
TEST_F(AudioSrcFileD, FloatFilesKeepTheirLevel) {
    const std::string path = m_Folder / "quiet.wav";
    ASSERT_TRUE(
        Sox("-n -r 44100 -c 1 -e floating-point -b 32 " + path + " synth 0.5 sine 1000 vol 0.25"));
    for (const auto mode : {AudioSrcFile::CacheStreaming, AudioSrcFile::CacheWholeFile}) {
        int64_t size = -1;
        Obj<AudioSrcFile> file(AudioSrcFile::Create(String(path.c_str()), size, mode));
        ASSERT_TRUE(file);
        const std::string bytes =
            ReadAll(*file, mode ? file->AddModeAll() : file->AddModePointer());
        ASSERT_EQ(int64_t(bytes.size()), size);
        int peak = 0;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
            int16_t v;
            std::memcpy(&v, bytes.data() + i, 2);
            peak = std::max(peak, std::abs(int(v)));
        }
        EXPECT_NEAR(peak, 8192, 80) << (mode ? "whole file" : "streaming");
    }
}

TEST_F(AudioSrcFileD, ReadsFromArchives) {
    const std::string tone = Tone(m_Folder / "tone.flac", 22050, 1, 0.5, 440);
    const std::string archivePath = m_Folder / "sounds.kxp";
    {
        Obj<Archive> archive(Archive::Create());
        ASSERT_EQ(archive->OpenNew(String(archivePath.c_str())), nullptr);
        ASSERT_EQ(archive->SetStoreMode(Archive::StoreModeCompress, 9), nullptr);
        ASSERT_EQ(archive->MakeDir(String("a")), nullptr);
        ASSERT_EQ(
            archive->AddFile(String("a/tone.flac"), String(tone.c_str()), String(""), nullptr),
            nullptr);
        ASSERT_EQ(archive->Close(), nullptr);
    }
    int64_t size = 0;
    Obj<AudioSrcFile> file(AudioSrcFile::Create(String((archivePath + "/a/tone.flac").c_str()),
                                                size, AudioSrcFile::CacheStreaming));
    ASSERT_TRUE(file);
    const std::vector<int16_t> reference = Reference(tone);
    EXPECT_TRUE(ReadAll(*file, file->AddModePointer()) == Slice(reference, 0, size_t(size)));
    EXPECT_EQ(size, int64_t(reference.size()) * 2);
}

TEST_F(AudioSrcFileD, BrokenFilesAreRefusedOrPlayShorter) {
    // Half a second of mono at 44100 Hz in every container, and one with too many channels.
    for (const char* name : {"b.wav", "b.aiff", "b.flac", "b.ogg"})
        Tone(m_Folder / name, 44100, 1, 0.5, 440);
    Tone(m_Folder / "nine.wav", 44100, 9, 0.1, 440);
    constexpr int64_t k_Whole = 22050 * 2;
    using Edit = std::function<void(std::string&)>;
    const auto cut = [](size_t n) {
        return [=](std::string& b) { b.resize(std::min(n, b.size())); };
    };
    const auto half = [](std::string& b) { b.resize(b.size() / 2); };
    const auto at = [](const char* tag, size_t offset, uint32_t value, int width, bool big) {
        return [=](std::string& b) { Put(b, Find(b, tag) + offset, value, width, big); };
    };
    const auto ogg = [](size_t offset, uint32_t value, int width) {
        return [=](std::string& b) {
            Put(b, 27 + size_t(uint8_t(b[26])) + offset, value, width, false);
            FixOggPage(b);
        };
    };
    std::mt19937 random(7);
    std::string noise(3000, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    const struct {
        const char* m_Name;
        const char* m_File;
        Edit m_Edit;
        bool m_Refused;
    } cases[] = {
        {"wav cut in half", "b.wav", half, false},
        {"wav cut in the header", "b.wav", cut(30), true},
        {"wav data size larger", "b.wav", at("data", 4, 0x7FFFFFF0, 4, false), false},
        {"wav data size smaller", "b.wav", at("data", 4, 1000, 4, false), false},
        {"wav RIFF size larger", "b.wav", at("RIFF", 4, 0x7FFFFFF0, 4, false), false},
        {"wav RIFF size smaller", "b.wav", at("RIFF", 4, 100, 4, false), false},
        {"wav 0 channels", "b.wav", at("fmt ", 10, 0, 2, false), true},
        {"wav 65535 channels", "b.wav", at("fmt ", 10, 65535, 2, false), true},
        {"wav rate 0", "b.wav", at("fmt ", 12, 0, 4, false), true},
        {"wav with 9 channels", "nine.wav", [](std::string&) {}, true},
        {"aiff cut in half", "b.aiff", half, false},
        {"aiff 0 channels", "b.aiff", at("COMM", 8, 0, 2, true), true},
        {"aiff 65535 channels", "b.aiff", at("COMM", 8, 65535, 2, true), true},
        {"aiff more frames", "b.aiff", at("COMM", 10, 0x7FFFFFF0, 4, true), false},
        {"aiff rate 0", "b.aiff", at("COMM", 16, 0, 4, true), true},
        {"flac cut in half", "b.flac", half, false},
        {"flac rate 0", "b.flac",
         [](std::string& b) {
             Put(b, 18, 0, 2, true); // the rate's 20 bits, at the start of STREAMINFO + 10
             b[20] = static_cast<char>(b[20] & 0x0F);
         },
         true},
        {"flac more samples", "b.flac", at("fLaC", 22, 0x7FFFFFF0, 4, true), false},
        {"ogg cut in half", "b.ogg", half, false},
        {"ogg 0 channels", "b.ogg", ogg(11, 0, 1), true},
        {"ogg rate 0", "b.ogg", ogg(12, 0, 4), true},
        {"noise", "b.wav", [&](std::string& b) { b = noise; }, true},
        {"noise in a RIFF", "b.wav",
         [&](std::string& b) { b.replace(12, std::string::npos, noise); }, true},
    };
    Loopback loopback;
    ASSERT_TRUE(loopback.IsOpen());
    for (const auto& c : cases) {
        std::string bytes = ReadFileBytes(m_Folder / c.m_File);
        c.m_Edit(bytes);
        const std::string name = c.m_File;
        const std::string path = m_Folder / ("broken" + name.substr(name.find('.')));
        WriteFileBytes(path, bytes);
        for (const auto mode : {AudioSrcFile::CacheStreaming, AudioSrcFile::CacheWholeFile}) {
            SCOPED_TRACE(std::string(c.m_Name) + (mode ? ", whole file" : ", streaming"));
            Obj<SoundSource> source(
                loopback.Device()->CreateSoundSource(String(path.c_str()), 0, mode));
            if (c.m_Refused) {
                EXPECT_FALSE(source);
                continue;
            }
            if (!source)
                continue; // refusing is always allowed
            // What decodes is at most what the file had; it plays to its end.
            AudioSrcFile& file = *source->GetAudioSrcFile();
            const int64_t decoded =
                int64_t(ReadAll(file, mode ? file.AddModeAll() : file.AddModePointer()).size());
            EXPECT_LE(decoded, k_Whole * int64_t(file.GetChannels()));
            EXPECT_LE(decoded, file.GetSize());
            EXPECT_TRUE(source->Play(false, 0.0));
            loopback.Render(44100);
            EXPECT_FALSE(source->IsPlaying());
        }
    }
}
