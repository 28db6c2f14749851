#include "core/sound/sound_rewrite.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/wav/wave_header.h"
#include "core/sound/effects.h"
#include "rewrite_files.h"
#include "stream_helpers.h"

namespace {

const PcmFormat stereo16{44100, 16, 2};

Bytes waveFile(const Bytes& data) {
    const WaveHeader h = makeWaveHeaderForData(44100, 16, 2, declaredDataSize(data.size(), 4));
    Bytes file = data;
    file.insert(file.begin(), h.begin(), h.end());
    return file;
}

TEST(SoundRewrite, HeaderDeclaresTheOutputAndProgressCountsTheInput) {
    // Speed down doubles the whole frames and keeps the partial one: an odd data size.
    const Bytes data = randomBytes(10003, 5);
    const Bytes file = waveFile(data);
    MemoryByteSource source(file.data(), file.size());
    VectorSink sink;
    std::vector<uint64_t> seen;
    TransformOptions options;
    options.bufferBytes = 1000;
    options.progress = [&](uint64_t done, uint64_t total) {
        seen.push_back(total == 10003 ? done : 0);
        return true;
    };
    auto t = makeEffect(Effect::SpeedDown, stereo16);
    ASSERT_TRUE(runTransform(source, SoundData{stereo16, 44, data.size()}, *t, sink, options));
    // The partial frame is written but not declared.
    const WaveHeader h = makeWaveHeaderForData(44100, 16, 2, 20000);
    ASSERT_EQ(sink.bytes.size(), 44u + 20003);
    EXPECT_TRUE(std::equal(h.begin(), h.end(), sink.bytes.begin()));
    EXPECT_EQ(seen, (std::vector<uint64_t>{1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 10003}));
}

// Claims gigabytes of silence without holding them.
class HugeSource : public ByteSource {
public:
    uint64_t size() const override { return 44 + 0xC0000000ull; }
    bool readAt(uint64_t, void* buffer, size_t n) override {
        std::memset(buffer, 0, n);
        return true;
    }
};

TEST(SoundRewrite, RefusesWhatCannotBeWritten) {
    HugeSource huge;
    const Bytes small(100);
    MemoryByteSource shortSource(small.data(), small.size());
    const struct {
        ByteSource* source;
        SoundData data;
        Effect effect;
    } cases[] = {
        {&huge, SoundData{stereo16, 44, 0xC0000000ull}, Effect::SpeedDown},  // over 4 GiB of output
        {&shortSource, SoundData{stereo16, 44, 57}, Effect::VolumeUp},       // data beyond the end
        {&shortSource, SoundData{PcmFormat{44100, 24, 2}, 0, 8}, Effect::VolumeUp},
        {&shortSource, SoundData{PcmFormat{44100, 16, 3}, 0, 8}, Effect::VolumeUp},
    };
    for (const auto& c : cases) {
        VectorSink sink;
        EXPECT_FALSE(runTransform(*c.source, c.data, *makeEffect(c.effect, c.data.format), sink));
        EXPECT_TRUE(sink.bytes.empty());
    }
}

TEST_F(RewriteFiles, ReplacesTheFileInPlace) {
    const Bytes data = randomBytes(3 * 4096 + 6, 9);
    const fs::path work = write("録音 take.wav", waveFile(data));
    TransformOptions options;
    options.bufferBytes = 4096;
    ASSERT_TRUE(rewriteSoundFile(work, SoundData{stereo16, 44, data.size()}, *makeEffect(Effect::Reverse, stereo16), work,
                                 options));
    Bytes expected = data;  // frames from the last, then the partial frame
    for (size_t k = 0; k < data.size() / 4; ++k) std::copy_n(data.end() - 2 - 4 * (k + 1), 4, expected.begin() + 4 * k);
    EXPECT_EQ(read(work), waveFile(expected));
    EXPECT_EQ(filesInFolder(), 1u);
}

// The native tool replaces users' files: it keeps what they may do with them, and leaves
// alone a file they made read-only.
TEST_F(RewriteFiles, AReplacedFileKeepsItsPermissionsAndAReadOnlyOneIsRefused) {
    const Bytes data = randomBytes(400, 10);
    const fs::path work = write("take.wav", waveFile(data));
    const auto volume = makeEffect(Effect::VolumeUp, stereo16);
    fs::permissions(work, fs::perms::owner_read, fs::perm_options::replace);
    EXPECT_FALSE(rewriteSoundFile(work, SoundData{stereo16, 44, data.size()}, *volume, work));
    EXPECT_EQ(read(work), waveFile(data));
#ifndef _WIN32  // Windows files have only a read-only attribute
    const fs::perms shared = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(work, shared, fs::perm_options::replace);
    ASSERT_TRUE(rewriteSoundFile(work, SoundData{stereo16, 44, data.size()}, *volume, work));
    EXPECT_EQ(fs::status(work).permissions(), shared);
#endif
    fs::permissions(work, fs::perms::owner_all, fs::perm_options::replace);
}

TEST_F(RewriteFiles, ATemporaryNameIsNeverAFileThatIsThere) {
    const Bytes data = randomBytes(400, 11);
    const fs::path work = write("take.wav", waveFile(data));
    EXPECT_EQ(temporaryPathBeside(work).filename(), "take.wav.aurecho-tmp");
    const Bytes users = read(write("take.wav.aurecho-tmp", Bytes{'m', 'i', 'n', 'e'}));
    EXPECT_EQ(temporaryPathBeside(work).filename(), "take.wav.aurecho-tmp2");
    ASSERT_TRUE(rewriteSoundFile(work, SoundData{stereo16, 44, data.size()}, *makeEffect(Effect::VolumeUp, stereo16), work));
    EXPECT_EQ(read(dir_ / "take.wav.aurecho-tmp"), users);
    EXPECT_EQ(filesInFolder(), 2u);

    // Every name taken: the rewrite fails, and no file changes.
    for (int n = 2; n <= 1000; ++n) write("take.wav.aurecho-tmp" + std::to_string(n), Bytes{static_cast<uint8_t>(n)});
    const Bytes before = read(work);
    EXPECT_TRUE(temporaryPathBeside(work).empty());
    EXPECT_FALSE(canMakeTemporaryBeside(work));
    EXPECT_FALSE(rewriteSoundFile(work, SoundData{stereo16, 44, data.size()}, *makeEffect(Effect::VolumeUp, stereo16), work));
    EXPECT_EQ(read(work), before);
    EXPECT_EQ(read(dir_ / "take.wav.aurecho-tmp1000"), Bytes{static_cast<uint8_t>(1000 & 0xFF)});
    EXPECT_EQ(filesInFolder(), 1001u);
}

TEST_F(RewriteFiles, AFileLongerThanManyBuffersIsWrittenWhole) {
    // Past several of the file sink's hand-overs to the disk, ending in a partial frame.
    const Bytes data = randomBytes(17 * 1024 * 1024 + 6, 12);
    const fs::path work = write("long.wav", waveFile(data));
    const fs::path out = dir_ / "out.wav";
    auto volume = makeEffect(Effect::VolumeDown, stereo16);
    ASSERT_TRUE(rewriteSoundFile(work, SoundData{stereo16, 44, data.size()}, *volume, out));
    auto reference = makeEffect(Effect::VolumeDown, stereo16);
    EXPECT_TRUE(read(out) == waveFile(runStreamed(*reference, stereo16, data, 4096)));
}

TEST_F(RewriteFiles, AFailureLeavesEveryFileAsItWas) {
    const Bytes original = waveFile(randomBytes(20000, 4));
    const fs::path work = write("work.wav", original);
    const fs::path other = write("other.wav", Bytes{1, 2, 3});
    const SoundData data{stereo16, 44, 20000};
    for (size_t budget : {size_t{0}, size_t{43}, size_t{44}, size_t{10000}, size_t{20043}})
        for (const fs::path& target : {work, other}) {
            TransformOptions options;
            options.bufferBytes = 1024;
            options.makeSink = [budget](std::FILE* f) { return std::make_unique<FailingSink>(f, budget); };
            EXPECT_FALSE(rewriteSoundFile(work, data, *makeEffect(Effect::Echo, stereo16), target, options)) << budget;
            EXPECT_EQ(read(work), original) << budget;
            EXPECT_EQ(read(other), (Bytes{1, 2, 3})) << budget;
            EXPECT_EQ(filesInFolder(), 2u) << budget;  // no temporary file left
        }
    // An unreadable input, and one shorter than its data.
    auto volume = makeEffect(Effect::VolumeDown, stereo16);
    EXPECT_FALSE(rewriteSoundFile(dir_ / "missing.wav", data, *volume, work));
    EXPECT_FALSE(rewriteSoundFile(work, SoundData{stereo16, 44, 20001}, *volume, work));
    EXPECT_EQ(read(work), original);
    EXPECT_EQ(filesInFolder(), 2u);
}

// A finished file ends at its last whole frame and says so in both size fields; the four
// layouts, with and without a partial trailing frame.
TEST_F(RewriteFiles, AFinishedFileDeclaresAndHoldsItsWholeFrames) {
    const struct {
        uint32_t frameBytes;
        size_t dataBytes, declared;
    } cases[] = {{4, 1000002, 1000000}, {4, 1000, 1000}, {2, 1001, 1000}, {2, 6614, 6614}, {1, 1001, 1001}, {1, 0, 0}};
    for (const auto& c : cases) {
        const Bytes data = randomBytes(c.dataBytes, 3);
        Bytes file = data;
        const WaveHeader h = makeWaveHeaderForData(22050, 8, 1, 12345);  // sizes to be corrected
        file.insert(file.begin(), h.begin(), h.end());
        const fs::path p = write("saved.wav", file);
        ASSERT_TRUE(finishSavedFile(p, c.frameBytes)) << c.dataBytes;
        const Bytes saved = read(p);
        ASSERT_EQ(saved.size(), 44 + c.declared) << c.dataBytes;
        const auto le32 = [&](size_t at) { return saved[at] | saved[at + 1] << 8 | saved[at + 2] << 16 | uint32_t(saved[at + 3]) << 24; };
        EXPECT_EQ(le32(40), c.declared);
        EXPECT_EQ(le32(4), c.declared + 36);
        EXPECT_TRUE(std::equal(saved.begin() + 44, saved.end(), data.begin()));
    }
    EXPECT_FALSE(finishSavedFile(write("short.wav", Bytes(10)), 4)) << "shorter than a header";
    EXPECT_FALSE(finishSavedFile(dir_ / "missing.wav", 4));
}

}  // namespace
