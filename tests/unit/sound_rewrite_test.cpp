#include "core/sound/sound_rewrite.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "core/wav/file_steps.h"
#include "core/wav/wave_header.h"
#include "core/sound/effects.h"
#include "core/sound/sample_stream.h"
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

#ifdef __linux__
// The files this process holds open, its own listing of them included.
long openFiles() { return static_cast<long>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{})); }
#endif

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

// Hands its input on unchanged, in the order it is fed, with the reads and writes on a
// thread beside it or not.
class PassOn : public SoundTransform {
public:
    PassOn(bool backwards, bool ioThread) : backwards_(backwards), ioThread_(ioThread) {}
    uint64_t outputSize(uint64_t inputBytes) const override { return inputBytes; }
    bool readsBackwards() const override { return backwards_; }
    bool wantsIoThread() const override { return ioThread_; }
    void process(const uint8_t* in, size_t n, TransformOutput& out) override { out.insert(out.end(), in, in + n); }

private:
    bool backwards_, ioThread_;
};

// Counts its calls and fails the failAt-th (1: the header's; 0: none).
class CountingSink : public VectorSink {
public:
    explicit CountingSink(int failAt) : failAt_(failAt) {}
    bool write(const void* data, size_t n) override {
        threads.push_back(std::this_thread::get_id());
        return static_cast<int>(threads.size()) != failAt_ && VectorSink::write(data, n);
    }
    std::vector<std::thread::id> threads;

private:
    int failAt_;
};

class CountingSource : public MemoryByteSource {
public:
    CountingSource(const Bytes& file, int failAt) : MemoryByteSource(file.data(), file.size()), failAt_(failAt) {}
    bool readAt(uint64_t offset, void* buffer, size_t n) override {
        return ++reads != failAt_ && MemoryByteSource::readAt(offset, buffer, n);
    }
    int reads = 0;

private:
    int failAt_;
};

TEST(SoundRewrite, ReadsAndWritesBesideTheTransformStopAtAFailureOrACancel) {
    // 40 buffers of whole frames and a partial frame: 41 reads, 42 writes with the header.
    const Bytes data = randomBytes(40 * 64 + 3, 8);
    const Bytes file = waveFile(data);
    const struct {
        int failRead, failWrite, cancelAt;
    } cases[] = {{0, 0, 0},  {1, 0, 0}, {2, 0, 0}, {20, 0, 0}, {41, 0, 0}, {0, 1, 0},  {0, 2, 0},
                 {0, 3, 0},  {0, 21, 0}, {0, 42, 0}, {0, 0, 1}, {0, 0, 2}, {0, 0, 20}, {0, 0, 41}};
    for (const bool backwards : {false, true})
        for (const auto& c : cases) {
            const std::string what = std::to_string(c.failRead) + " " + std::to_string(c.failWrite) + " " +
                                     std::to_string(c.cancelAt) + (backwards ? " backwards" : "");
            CountingSource source(file, c.failRead);
            CountingSink sink(c.failWrite);
            const std::thread::id caller = std::this_thread::get_id();
            int calls = 0;
            bool onCaller = true;
            TransformOptions options;
            options.bufferBytes = 64;
            options.progress = [&](uint64_t, uint64_t) {
                onCaller = onCaller && std::this_thread::get_id() == caller;
                return ++calls != c.cancelAt;
            };
            PassOn beside(backwards, true);
            const bool ok = runTransform(source, SoundData{stereo16, 44, data.size()}, beside, sink, options);
            EXPECT_TRUE(onCaller) << what;
            if (c.failRead + c.failWrite + c.cancelAt == 0) {
                ASSERT_TRUE(ok) << what;
                PassOn inTurn(backwards, false);
                EXPECT_EQ(sink.bytes, waveFile(runStreamed(inTurn, stereo16, data, 64))) << what;
                EXPECT_EQ(calls, 41) << what;
                ASSERT_EQ(sink.threads.size(), 42u) << what;
                EXPECT_NE(sink.threads.back(), caller) << what << ": the data is written on a thread of its own";
                continue;
            }
            EXPECT_FALSE(ok) << what;
            if (c.cancelAt) {
                EXPECT_EQ(calls, c.cancelAt) << what;
            } else if (c.failWrite) {
                // A failed write ends the reads within the few buffers in hand.
                EXPECT_LE(source.reads, c.failWrite + 4) << what;
            } else {
                EXPECT_EQ(source.reads, c.failRead) << what;
                EXPECT_LT(calls, c.failRead) << what;
            }
        }
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

// PassOn, but each call's output comes out with the next call's, the last at the finish.
class HoldBack : public PassOn {
public:
    using PassOn::PassOn;
    void process(const uint8_t* in, size_t n, TransformOutput& out) override {
        finish(out);
        held_.assign(in, in + n);
    }
    void finish(TransformOutput& out) override {
        out.insert(out.end(), held_.begin(), held_.end());
        held_.clear();
    }

private:
    Bytes held_;
};

TEST(SoundRewrite, OutputHeldBackComesOutAtTheFinishWhateverFeedsTheTransform) {
    const Bytes data = randomBytes(40 * 64 + 3, 9);
    for (const bool backwards : {false, true})
        for (const bool ioThread : {false, true}) {
            HoldBack holding(backwards, ioThread);
            PassOn inTurn(backwards, false);
            EXPECT_EQ(runStreamed(holding, stereo16, data, 64), runStreamed(inTurn, stereo16, data, 64))
                << backwards << ioThread;
        }
    MemoryByteSource source(data.data(), data.size());
    TransformedStream stream(std::make_unique<RangeStream>(source, 0, data.size()), 4,
                             std::make_unique<HoldBack>(false, false), 64);
    Bytes got(data.size());
    ASSERT_TRUE(stream.read(got.data(), got.size()));
    EXPECT_EQ(got, data);
}

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
    // Past several of the file sink's hand-overs to the disk and flushes on its own thread,
    // ending in a partial frame.
    const Bytes data = randomBytes(17 * 1024 * 1024 + 6, 12);
    const fs::path work = write("long.wav", waveFile(data));
    const fs::path out = dir_ / "out.wav";
#ifdef __linux__
    const long opened = openFiles();
#endif
    auto volume = makeEffect(Effect::VolumeDown, stereo16);
    ASSERT_TRUE(rewriteSoundFile(work, SoundData{stereo16, 44, data.size()}, *volume, out));
    auto reference = makeEffect(Effect::VolumeDown, stereo16);
    EXPECT_TRUE(read(out) == waveFile(runStreamed(*reference, stereo16, data, 4096)));
    EXPECT_EQ(filesInFolder(), 2u);
#ifdef __linux__
    EXPECT_EQ(openFiles(), opened);  // the flushing thread's own opening of the file too
#endif
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

TEST_F(RewriteFiles, AFailureAfterTheFlushesBeganLeavesEveryFileAsItWas) {
    // Past the hand-overs to the disk and the flushes on their own thread: a write that
    // fails there or at the end, a rename that fails, or an input that is not there leaves
    // the sound as it was, in place or beside, with no temporary file and nothing open.
    const Bytes original = waveFile(randomBytes(17 * 1024 * 1024 + 6, 15));
    const fs::path work = write("long.wav", original), beside = dir_ / "new.wav";
    const SoundData data{stereo16, 44, original.size() - 44};
    const uint64_t flushed = 9 << 20, end = original.size();
    const struct {
        const char* name;
        FileFailure failure;
        fs::path input;
    } cases[] = {
        {"a write past the first flush",
         [=](FileStep step, uint64_t at, size_t n) { return step == FileStep::Write && at + n > flushed; }, work},
        {"the last write", [=](FileStep step, uint64_t at, size_t n) { return step == FileStep::Write && at + n >= end; },
         work},
        {"the rename", [](FileStep step, uint64_t, size_t) { return step == FileStep::Rename; }, work},
        {"an input that is not there", {}, dir_ / "gone.wav"},
    };
#ifdef __linux__
    const long opened = openFiles();
#endif
    for (const auto& c : cases)
        for (const fs::path& target : {work, beside}) {
            setFileFailure(c.failure);
            const bool written = rewriteSoundFile(c.input, data, *makeEffect(Effect::VolumeDown, stereo16), target);
            setFileFailure({});
            EXPECT_FALSE(written) << c.name;
            EXPECT_TRUE(read(work) == original) << c.name;
            EXPECT_FALSE(fs::exists(beside)) << c.name;
            EXPECT_EQ(filesInFolder(), 1u) << c.name;
#ifdef __linux__
            EXPECT_EQ(openFiles(), opened) << c.name;
#endif
        }
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
