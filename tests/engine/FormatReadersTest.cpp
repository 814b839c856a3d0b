// The readers under the Windows engine that are plain code (the kind of a file by its content,
// the plain WAV reader, the MP3 encoder delay and padding), tested here against libsndfile and
// libmpg123, which the Linux engine uses; and the checks every decoder makes, on both systems.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/Decoder.h"
#include "engine/Mp3Gapless.h"
#include "engine/PcmWavReader.h"
#include "engine/SoundFiles.h"
#include "engine/SoundKind.h"
#include "support/TempDir.h"

namespace brenzo::engine {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

TEST(SoundKindTest, TheFirstBytesTellTheKind) {
    // An Ogg page: "OggS", 22 header bytes, one segment of 30 bytes, then the packet.
    auto oggWith = [](std::string_view packet) {
        std::string page = "OggS" + std::string(22, '\0') + std::string(1, '\x01') + std::string(1, '\x1e');
        return bytesOf(page + std::string(packet));
    };
    const std::string id3 = std::string("ID3\x04\x00\x00\x00\x00\x00\x05", 10) + std::string(5, 'x');
    const struct {
        std::vector<std::uint8_t> start;
        SoundKind kind;
    } rows[] = {
        {bytesOf(std::string("RIFF\x10\x00\x00\x00WAVEfmt ", 16)), SoundKind::Wav},
        {bytesOf(std::string("RIFF\x10\x00\x00\x00AVI LIST", 16)), SoundKind::Unknown},
        {oggWith("\x01vorbis"), SoundKind::OggVorbis},
        {oggWith("OpusHead"), SoundKind::OggOpus},
        {oggWith("\x80theora"), SoundKind::OggOther},
        {bytesOf("fLaC\x00\x00\x00\x22"), SoundKind::Flac},
        {bytesOf(id3 + "fLaC"), SoundKind::Flac},
        {{0xFF, 0xFB, 0x90, 0x64}, SoundKind::Mp3},           // MPEG-1 layer III, 128 kbit/s
        {bytesOf(id3 + "\xFF\xF3\x84\xC4"), SoundKind::Mp3},  // MPEG-2 behind a tag
        {{0xFF, 0xFB, 0xF0, 0x64}, SoundKind::Unknown},       // bit rate index 15: no frame
        {{0xFF, 0xF1, 0x50, 0x80}, SoundKind::Aac},           // ADTS
        {bytesOf(std::string("\x00\x00\x00\x20"
                             "ftypM4A ",
                             12)),
         SoundKind::Mp4},
        {bytesOf("just some text"), SoundKind::Unknown},
        {{}, SoundKind::Unknown},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(SniffSoundKind(rows[i].start), rows[i].kind) << "row " << i;
}

// Every plain WAV kind reads to libsndfile's very floats; compressed kinds are left to others.
// What each decoder refuses before it decodes: a path that is no file, and a sound shape that
// no WAV can take. A refusal of the file itself is a file-system failure; of the sound, not.
TEST(DecoderChecks, RefuseWhatNoDecoderCanTake) {
    TempDir dir;
    const struct {
        fs::path file;
        std::int64_t channels;
        std::int64_t rate;
        const char* refusal;  // "" when taken
        bool fileSystem;
    } rows[] = {
        {dir / "gone.wav", 1, 44100, "cannot read gone.wav: no such file", true},
        {dir.path(), 1, 44100, "it is a folder", true},
        {dir / "in.wav", 0, 44100, "cannot decode in.wav: the file has no channels", false},
        {dir / "in.wav", -1, 44100, "cannot decode in.wav: the file has no channels", false},
        {dir / "in.wav", 65536, 44100, "cannot decode in.wav: the file has too many channels", false},
        {dir / "in.wav", 2, 0, "cannot decode in.wav: the sample rate is 0", false},
        {dir / "in.wav", 65535, 1, "", false},
    };
    testing::WriteFile(dir / "in.wav", {});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.refusal);
        Status s = Decoder::CheckReadable(row.file);
        if (s) s = Decoder::CheckShape(row.file, row.channels, row.rate);
        if (std::string(row.refusal).empty()) {
            EXPECT_TRUE(s) << s.message();
            continue;
        }
        ASSERT_FALSE(s);
        EXPECT_THAT(s.message(), ::testing::HasSubstr(row.refusal));
        EXPECT_EQ(s.isFileSystemError(), row.fileSystem);
    }
}

TEST(PcmWavReaderTest, GivesLibsndfilesSamplesForEveryPlainKind) {
    TempDir dir;
    const struct {
        int format;
        int channels;
        bool handled;
    } rows[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, true},     {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, true},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 3, true},     {SF_FORMAT_WAV | SF_FORMAT_PCM_32, 2, true},
        {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, true},      {SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 2, true},
        {SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 6, true},   {SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 2, true},
        {SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 1, false}, {SF_FORMAT_WAV | SF_FORMAT_ULAW, 1, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.format);
        auto source = testing::Sweeps(3001, row.channels, 44100, 0.9);
        source[0] = -1.0f;  // the extremes too
        source[1 % source.size()] = 0.99999f;
        testing::WriteSound(dir / "in.wav", row.format, 44100, row.channels, std::span<const float>(source));
        const auto bytes = testing::ReadFile(dir / "in.wav");
        auto layout = ReadPcmWavLayout(bytes, bytes.size());
        ASSERT_EQ(layout.has_value(), row.handled);
        if (!layout) continue;
        const auto expected = testing::ReadFloats(dir / "in.wav");
        auto decoder = OpenPcmWav(dir / "in.wav", *layout);
        ASSERT_TRUE(decoder) << decoder.message();
        EXPECT_EQ((*decoder)->format().channels, row.channels);
        EXPECT_EQ((*decoder)->format().rate, 44100u);
        std::vector<float> got, piece(700 * static_cast<std::size_t>(row.channels));
        for (;;) {
            auto n = (*decoder)->Read(piece);
            ASSERT_TRUE(n) << n.message();
            if (*n == 0) break;
            got.insert(got.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(*n * row.channels));
        }
        EXPECT_EQ(got, expected);
    }
}

TEST(PcmWavReaderTest, ADataChunkLongerThanTheFileIsReadToTheFilesEnd) {
    TempDir dir;
    auto source = testing::Sweeps16(1000, 2, 22050, 9000);
    testing::WriteSound(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 2,
                        std::span<const std::int16_t>(source));
    auto bytes = testing::ReadFile(dir / "in.wav");
    bytes.resize(bytes.size() - 401);  // cut mid-frame
    auto layout = ReadPcmWavLayout(bytes, bytes.size());
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->frames, 1000u - 101u);
}

// Sixteen-bit files are read as integers, without going through float, when nothing else
// changes the samples; every decoder must give exactly what its float samples rounded give.
TEST(DecoderPcm16Test, IntegerReadsGiveTheFloatSamplesRounded) {
    TempDir dir;
    const struct {
        int format;
        int channels;
        bool sixteen;  // read as integers
    } rows[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, true},  {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, true},
        {SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, true}, {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, true},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, false}, {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, false},
        {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.format);
        auto source = testing::Sweeps(5003, row.channels, 44100, 0.95);
        // Both extremes, and past them where the format can hold it (a float file clips).
        source[0] = -1.0f;
        source[1] = 0.99999f;
        if ((row.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT) {
            source[2] = 1.7f;
            source[3] = -3.0f;
        }
        const fs::path file = dir / "in.snd";
        testing::WriteSound(file, row.format, 44100, row.channels, std::span<const float>(source));
        const auto bytes = testing::ReadFile(file);
        auto layout = ReadPcmWavLayout(bytes, bytes.size());
        // libsndfile's decoder, and the plain WAV reader where it takes the file.
        for (int reader = 0; reader < (layout ? 2 : 1); ++reader) {
            SCOPED_TRACE(reader == 0 ? "libsndfile" : "plain WAV reader");
            auto open = [&] { return reader == 0 ? Decoder::Open(file) : OpenPcmWav(file, *layout); };
            auto floats = open();
            auto integers = open();
            ASSERT_TRUE(floats && integers);
            EXPECT_EQ((*integers)->Holds16BitSamples(), row.sixteen);

            std::vector<std::int16_t> expected, got;
            std::vector<float> piece(701 * static_cast<std::size_t>(row.channels));
            for (;;) {
                auto n = (*floats)->Read(piece);
                ASSERT_TRUE(n) << n.message();
                if (*n == 0) break;
                for (std::size_t i = 0; i < *n * static_cast<std::size_t>(row.channels); ++i)
                    expected.push_back(ToPcm16(piece[i]));
            }
            std::vector<std::int16_t> piece16(333 * static_cast<std::size_t>(row.channels));
            for (;;) {
                auto n = (*integers)->ReadPcm16(piece16);
                ASSERT_TRUE(n) << n.message();
                if (*n == 0) break;
                got.insert(got.end(), piece16.begin(),
                           piece16.begin() + static_cast<std::ptrdiff_t>(*n * static_cast<std::size_t>(row.channels)));
            }
            EXPECT_EQ(got.size(), source.size());
            EXPECT_EQ(got, expected);
        }
    }
}

// The whole-piece conversion rounds eight samples at a time; each must come out as the rule for
// one sample gives it.
TEST(DecoderPcm16Test, PiecesRoundAsSingleSamplesDo) {
    const float tie = 0.5f / 32768.0f;
    std::vector<float> values = {0.0f,
                                 -0.0f,
                                 tie,
                                 -tie,
                                 3 * tie,
                                 -3 * tie,
                                 5 * tie,
                                 -5 * tie,
                                 std::nextafter(tie, 0.0f),
                                 -std::nextafter(tie, 0.0f),
                                 std::nextafter(tie, 1.0f),
                                 32766.5f / 32768.0f,
                                 32767.4f / 32768.0f,
                                 32767.5f / 32768.0f,
                                 1.0f,
                                 -1.0f,
                                 -32767.5f / 32768.0f,
                                 -32768.5f / 32768.0f,
                                 2.0f,
                                 -2.0f,
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::denorm_min(),
                                 std::numeric_limits<float>::max(),
                                 std::numeric_limits<float>::lowest()};
    // And floats of every exponent and sign, by their bits.
    for (std::uint64_t bits = 0; bits <= 0xFFFFFFFFull; bits += 4099) {
        float f;
        const auto b = static_cast<std::uint32_t>(bits);
        std::memcpy(&f, &b, sizeof f);
        values.push_back(f);
    }
    std::vector<std::int16_t> expected;
    for (float f : values) expected.push_back(ToPcm16(f));

    std::vector<std::int16_t> rounded(values.size());
    ToPcm16(values, rounded);
    EXPECT_EQ(rounded, expected);
    std::vector<std::uint8_t> bytes{0xAB};  // appended after what is there
    AppendPcm16Le(values, bytes);
    ASSERT_EQ(bytes.size(), 1 + 2 * values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto le = static_cast<std::int16_t>(bytes[1 + 2 * i] | (bytes[2 + 2 * i] << 8));
        if (le != expected[i]) {
            ADD_FAILURE() << "sample " << i << " (" << values[i] << "): " << le << ", expected " << expected[i];
            break;
        }
    }
}

// libmpg123's gapless length is the length the encoder was given; the delay and padding read
// from the file must give the same, at every rate (MPEG-1, 2 and 2.5) and channel count.
TEST(Mp3GaplessTest, TheTrimmedLengthIsTheEncodedLength) {
    TempDir dir;
    for (int rate : {44100, 32000, 22050, 16000, 11025}) {
        for (int channels : {1, 2}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " channels");
            const std::size_t frames = static_cast<std::size_t>(rate) * 3 / 4 + 17;
            auto source = testing::Sweeps(frames, channels, rate, 0.5);
            testing::WriteSound(dir / "in.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, rate, channels,
                                std::span<const float>(source));
            const auto bytes = testing::ReadFile(dir / "in.mp3");
            auto gapless = ReadMp3Gapless(bytes);
            ASSERT_TRUE(gapless);
            EXPECT_EQ(gapless->rate, static_cast<std::uint32_t>(rate));
            EXPECT_EQ(gapless->Length(), frames);
            int decodedChannels = 0;
            EXPECT_EQ(testing::ReadFloats(dir / "in.mp3", &decodedChannels).size(), frames * channels);
        }
    }
}

TEST(Mp3GaplessTest, WithoutAnEncoderTagNothingIsTrimmed) {
    TempDir dir;
    auto source = testing::Sweeps(20000, 2, 44100, 0.5);
    testing::WriteSound(dir / "in.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2,
                        std::span<const float>(source));
    const auto bytes = testing::ReadFile(dir / "in.mp3");
    ASSERT_TRUE(ReadMp3Gapless(bytes));
    std::vector<std::uint8_t> noLame = bytes;
    const std::string text(noLame.begin(), noLame.end());
    const auto lame = text.find("LAME");
    ASSERT_NE(lame, std::string::npos);
    noLame[lame] = 'X';
    std::vector<std::uint8_t> noXing = bytes;
    for (const char* tag : {"Xing", "Info"})
        for (auto at = text.find(tag); at != std::string::npos; at = text.find(tag, at + 1)) noXing[at] = 'Z';
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + 40);
    for (const std::vector<std::uint8_t>* b : {&noLame, &noXing, &cut})
        EXPECT_FALSE(ReadMp3Gapless(*b)) << (b == &noLame ? "no LAME" : b == &noXing ? "no Xing" : "cut");
}

}  // namespace
}  // namespace brenzo::engine
