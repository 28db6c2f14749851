#include "core/sound/sound_edit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/sound/conversion.h"
#include "core/wav/wave_header.h"
#include "core/sound/clipboard_data.h"
#include "core/sound/mixing.h"
#include "core/sound/effects.h"
#include "rewrite_files.h"
#include "stream_helpers.h"

namespace {

const PcmFormat stereo16{44100, 16, 2};
const PcmFormat mono16{11025, 16, 1};
const PcmFormat stereo8{22050, 8, 2};
const PcmFormat mono8{11025, 8, 1};

// ---- references: the whole-array forms of the Edit commands --------------------------

Bytes slice(const Bytes& b, size_t from, size_t n) { return Bytes(b.begin() + from, b.begin() + from + n); }

Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes referencePaste(const Bytes& sound, size_t offset, const Bytes& block) {
    Bytes out = sound;
    out.resize(std::max(sound.size(), offset + block.size()));
    std::copy(block.begin(), block.end(), out.begin() + offset);
    return out;
}

int16_t clampedSum(int a, int b) { return static_cast<int16_t>(std::clamp(a + b, -32768, 32767)); }

// The mixing loop over the whole block: samples at or past the sound's end count as 127
// (8-bit) or 0 (16-bit); a 16-bit sample exists while i < (L - offset) / 2.
Bytes referenceMix(const Bytes& sound, size_t offset, const Bytes& block, uint16_t bits) {
    Bytes out = sound;
    out.resize(std::max(sound.size(), offset + block.size()));
    const size_t left = sound.size() - offset;
    if (bits == 8) {
        for (size_t i = 0; i < block.size(); ++i) out[offset + i] = mix8(block[i], i < left ? sound[offset + i] : 127);
        return out;
    }
    for (size_t i = 0; i < block.size() / 2; ++i) {
        const size_t at = offset + 2 * i;
        const int e = i < left / 2 ? static_cast<int16_t>(sound[at] | sound[at + 1] << 8) : 0;
        const int16_t m = clampedSum(sampleAt(block, i), e);
        out[offset + 2 * i] = static_cast<uint8_t>(m);
        out[offset + 2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(m) >> 8);
    }
    return out;
}

// The same edit, whole in one buffer and in buffers of several sizes: all must agree.
Bytes editAllWays(EditKind kind, const PcmFormat& format, const Bytes& sound, size_t offset, const Bytes& added) {
    Bytes first;
    for (size_t buffer : {size_t{4}, size_t{1000}, size_t{4096}, defaultTransformBufferBytes}) {
        MemoryByteSource addedSource(added.data(), added.size());
        SoundEdit edit(kind, format, offset, std::make_unique<RangeStream>(addedSource, 0, added.size()));
        const uint64_t expectedSize = edit.outputSize(sound.size());
        uint32_t declared = 0;
        const Bytes out = runRewrite(edit, format, sound, buffer, &declared);
        EXPECT_EQ(out.size(), expectedSize);
        EXPECT_EQ(declared, declaredDataSize(expectedSize, format.frameBytes()));
        if (buffer == 4)
            first = out;
        else
            EXPECT_EQ(firstDifference(out, first), -1) << "buffer " << buffer;
    }
    return first;
}

// ---- the mixing rule -----------------------------------------------------------------

TEST(MixingRule, SixteenBitSamplesAddAndClip) {
    const struct {
        int16_t added, existing, mixed;
    } cases[] = {{30000, 30000, 32767}, {-30000, -30000, -32768}, {1000, -400, 600},  {0, 0, 0},
                 {32767, 1, 32767},     {-32768, -1, -32768},     {-32768, 32767, -1}, {12345, -12345, 0}};
    for (const auto& c : cases) EXPECT_EQ(mix16(c.added, c.existing), c.mixed) << c.added << " + " << c.existing;
    for (int a = -32768; a < 32768; a += 97)
        for (int e = -32768; e < 32768; e += 1013)
            ASSERT_EQ(mix16(static_cast<int16_t>(a), static_cast<int16_t>(e)), clampedSum(a, e)) << a << " + " << e;
}

TEST(MixingRule, EightBitSamplesCentreOn127) {
    const struct {
        uint8_t added, existing, mixed;
    } cases[] = {{128, 128, 129}, {127, 127, 127}, {0, 0, 0}, {255, 255, 255}, {255, 0, 128},
                 {0, 127, 0},     {200, 127, 200}, {100, 127, 100}, {255, 127, 255}, {200, 200, 255}};
    for (const auto& c : cases)
        EXPECT_EQ(mix8(c.added, c.existing), c.mixed) << int(c.added) << " + " << int(c.existing);
    // Past the end of the sound the existing sample is 127.
    const Bytes added{128, 0, 255, 200};
    Bytes out(4);
    mixSamples(added.data(), nullptr, 0, added.size(), 8, out.data());
    EXPECT_EQ(out, (Bytes{mix8(128, 127), 0, 255, 200}));
}

// ---- offsets -------------------------------------------------------------------------

TEST(EditOffset, FallsOnWholeFrames) {
    const struct {
        int32_t position;
        PcmFormat format;
        uint32_t length, offset;
    } cases[] = {
        {2, PcmFormat{11025, 16, 2}, 100000, 880},  // 882 would split a frame
        {1, stereo8, 100000, 440},                   // 441 would too
        {200, stereo16, 882000, 352800},
        {5, mono8, 100000, 551},                     // 551.25: an odd offset is a whole frame
        {3, mono16, 100000, 660},                    // 661.5
        {0, stereo16, 882000, 0},
        {-4, stereo16, 882000, 0},
        {500, stereo16, 881999, 881996},             // never past the end, still whole frames
        {2, mono16, 600, 440},
    };
    for (const auto& c : cases) {
        const uint32_t frame = c.format.frameBytes();
        EXPECT_EQ(editOffset(c.position, c.format.samplesPerSec * frame, frame, c.length), c.offset) << c.position;
    }
}

// ---- paste, mix, insert --------------------------------------------------------------

TEST(SoundEditing, PasteOverwritesAndLengthensOnlyPastTheEnd) {
    const Bytes sound = randomBytes(10000, 1);
    const Bytes block = randomBytes(3000, 2);
    const struct {
        size_t offset;
        size_t length;
    } cases[] = {{0, 10000}, {4000, 10000}, {7000, 10000}, {8000, 11000}, {10000, 13000}};
    for (const auto& c : cases) {
        const Bytes out = editAllWays(EditKind::Paste, stereo16, sound, c.offset, block);
        EXPECT_EQ(out.size(), c.length) << c.offset;
        EXPECT_EQ(firstDifference(out, referencePaste(sound, c.offset, block)), -1) << c.offset;
    }
}

TEST(SoundEditing, PasteIntoNoSound) {
    const Bytes block = randomBytes(4410, 3);
    EXPECT_EQ(editAllWays(EditKind::Paste, stereo8, Bytes{}, 0, block), block);
}

TEST(SoundEditing, MixingALongerAndAShorterBlock) {
    const struct {
        PcmFormat format;
        size_t soundBytes, offset, blockBytes;
    } cases[] = {
        {stereo16, 10000, 2000, 3000},   // shorter: the sound after it untouched
        {stereo16, 10000, 8000, 6000},   // longer: the rest mixed with silence
        {stereo16, 10000, 10000, 400},   // at the very end
        {mono16, 10001, 9000, 2000},     // a trailing odd byte counts as no sample
        {stereo8, 10000, 3000, 2000},
        {stereo8, 10000, 9000, 3000},
        {mono8, 10001, 5001, 7000},
        {mono8, 0, 0, 500},
    };
    for (const auto& c : cases) {
        const Bytes sound = randomBytes(c.soundBytes, 4);
        const Bytes block = randomBytes(c.blockBytes, 5);
        const Bytes out = editAllWays(EditKind::Mix, c.format, sound, c.offset, block);
        EXPECT_EQ(out.size(), std::max(c.soundBytes, c.offset + c.blockBytes)) << c.offset;
        EXPECT_EQ(firstDifference(out, referenceMix(sound, c.offset, block, c.format.bitsPerSample)), -1)
            << c.format.bitsPerSample << " bits, offset " << c.offset;
    }
}

TEST(SoundEditing, MixingPastTheEndLeaves16BitSamplesAsTheyAre) {
    const Bytes block = randomBytes(800, 6);
    const Bytes out = editAllWays(EditKind::Mix, stereo16, randomBytes(400, 7), 400, block);
    EXPECT_EQ(slice(out, 400, 800), block);
}

TEST(SoundEditing, InsertPutsTheDataAtTheOffsetAndTheTailBehindIt) {
    const Bytes sound = randomBytes(9000, 8);
    const Bytes block = randomBytes(2400, 9);
    for (size_t offset : {size_t{0}, size_t{4400}, size_t{8996}, size_t{9000}}) {
        const Bytes out = editAllWays(EditKind::Insert, stereo16, sound, offset, block);
        ASSERT_EQ(out.size(), sound.size() + block.size()) << offset;
        EXPECT_EQ(out, joined({slice(sound, 0, offset), block, slice(sound, offset, sound.size() - offset)})) << offset;
    }
}

TEST(SoundEditing, OnlyWholeFramesOfTheAddedSamplesAreTaken) {
    const Bytes sound = randomBytes(4000, 10);
    const Bytes block = randomBytes(1003, 11);
    const Bytes whole = slice(block, 0, 1000);
    EXPECT_EQ(editAllWays(EditKind::Insert, stereo16, sound, 400, block),
              joined({slice(sound, 0, 400), whole, slice(sound, 400, 3600)}));
    EXPECT_EQ(editAllWays(EditKind::Paste, stereo16, sound, 3600, block), referencePaste(sound, 3600, whole));
    // One byte is a whole 8-bit mono frame.
    EXPECT_EQ(editAllWays(EditKind::Insert, mono8, sound, 401, block).size(), 5003u);
}

TEST(SoundEditing, LongSoundsStreamInBoundedBuffers) {
    // Longer than a default buffer, so every part crosses buffer boundaries.
    const Bytes sound = randomBytes(3 * defaultTransformBufferBytes + 12, 12);
    const Bytes block = randomBytes(defaultTransformBufferBytes + 400, 13);
    const size_t offset = defaultTransformBufferBytes - 4;
    MemoryByteSource addedSource(block.data(), block.size());
    SoundEdit insert(EditKind::Insert, stereo16, offset, std::make_unique<RangeStream>(addedSource, 0, block.size()));
    EXPECT_EQ(runRewrite(insert, stereo16, sound, defaultTransformBufferBytes),
              joined({slice(sound, 0, offset), block, slice(sound, offset, sound.size() - offset)}));
    MemoryByteSource mixSource(block.data(), block.size());
    SoundEdit mix(EditKind::Mix, stereo16, offset, std::make_unique<RangeStream>(mixSource, 0, block.size()));
    EXPECT_EQ(firstDifference(runRewrite(mix, stereo16, sound, defaultTransformBufferBytes),
                              referenceMix(sound, offset, block, 16)),
              -1);
}

// ---- delete --------------------------------------------------------------------------

TEST(SoundEditing, DeleteBeforeAndAfterThePosition) {
    // 5.00 s of 16-bit stereo at 44100 Hz, position 200.
    const Bytes sound = randomBytes(882000, 14);
    const uint32_t at = editOffset(200, 176400, 4, 882000);
    ASSERT_EQ(at, 352800u);
    SoundEdit before(EditKind::DeleteBefore, stereo16, at), after(EditKind::DeleteAfter, stereo16, at);
    uint32_t declared = 0;
    const Bytes kept = runRewrite(before, stereo16, sound, defaultTransformBufferBytes, &declared);
    EXPECT_EQ(kept.size(), 529200u);
    EXPECT_EQ(declared, 529200u);
    EXPECT_EQ(kept, slice(sound, 352800, 529200));
    const Bytes start = runRewrite(after, stereo16, sound, 1000, &declared);
    EXPECT_EQ(start.size(), 352800u);
    EXPECT_EQ(declared, 352800u);
    EXPECT_EQ(start, slice(sound, 0, 352800));
}

TEST(SoundEditing, DeleteAtTheStartAndAtTheEnd) {
    const Bytes sound = randomBytes(882002, 15);  // a partial frame at the end
    const struct {
        EditKind kind;
        uint32_t offset;
        Bytes kept;
    } cases[] = {
        {EditKind::DeleteBefore, 0, sound},  // to the real end, partial frame included
        {EditKind::DeleteAfter, 0, Bytes{}},
        {EditKind::DeleteBefore, 882000, slice(sound, 882000, 2)},
        {EditKind::DeleteAfter, 882000, slice(sound, 0, 882000)},
    };
    for (const auto& c : cases) {
        SoundEdit edit(c.kind, stereo16, c.offset);
        EXPECT_EQ(edit.outputSize(sound.size()), c.kept.size());
        EXPECT_EQ(runRewrite(edit, stereo16, sound, 4096), c.kept) << c.offset;
    }
    // 16-bit mono at 11025 Hz, 600 bytes (Max 2), position 2: the frame at 440 on.
    const Bytes shortSound = randomBytes(600, 16);
    SoundEdit end(EditKind::DeleteBefore, mono16, editOffset(2, 22050, 2, 600));
    EXPECT_EQ(runRewrite(end, mono16, shortSound, 4096), slice(shortSound, 440, 160));
}

// ---- delete selection and trim -------------------------------------------------------

// A selection edit, whole in one buffer and in buffers of several sizes: all must agree.
Bytes rangeEditAllWays(EditKind kind, const PcmFormat& format, const Bytes& sound, ByteRange range) {
    Bytes first;
    for (size_t buffer : {size_t{1}, size_t{7}, size_t{1000}, defaultTransformBufferBytes}) {
        SoundEdit edit(kind, format, range);
        const uint64_t expectedSize = edit.outputSize(sound.size());
        uint32_t declared = 0;
        const Bytes out = runRewrite(edit, format, sound, buffer, &declared);
        EXPECT_EQ(out.size(), expectedSize);
        EXPECT_EQ(declared, declaredDataSize(expectedSize, format.frameBytes()));
        if (buffer == 1)
            first = out;
        else
            EXPECT_EQ(firstDifference(out, first), -1) << "buffer " << buffer;
    }
    return first;
}

TEST(SoundEditing, DeleteSelectionAndTrimKeepTheRightBytes) {
    const uint64_t n = 3000;  // frames; 12000 bytes of 16-bit stereo, longer than the small buffers
    // A requested end is frame x frameBytes plus a nudge into the frame; the kept range is in frames.
    const uint32_t intoFrame = ~0u;  // the frame's last byte
    const struct {
        const char* what;
        uint64_t from;
        uint32_t fromNudge;
        uint64_t to;
        uint32_t toNudge;
        uint64_t keptFrom, keptTo;
    } cases[] = {
        {"middle", 1000, 0, 2000, 0, 1000, 2000},
        {"at the start", 0, 0, 700, 0, 0, 700},
        {"at the end", 2300, 0, n, 0, 2300, n},
        {"the whole sound", 0, 0, n, 0, 0, n},
        {"one frame", 1234, 0, 1235, 0, 1234, 1235},
        {"empty", 1500, 0, 1500, 0, 1500, 1500},
        {"inverted", 2000, 0, 1000, 0, 2000, 2000},
        {"past the end", 2500, 0, n + 500, 0, 2500, n},
        {"wholly past the end", n + 10, 0, n + 20, 0, n, n},
        {"inside frames", 1000, intoFrame, 2000, intoFrame, 1000, 2000},
        {"into the partial frame", 100, 0, n, intoFrame, 100, n},
    };
    for (const PcmFormat& format : {mono8, stereo8, mono16, stereo16}) {
        const uint32_t fb = format.frameBytes();
        for (uint32_t partial : {0u, fb - 1})
            for (const auto& c : cases) {
                const Bytes sound = randomBytes(n * fb + partial, 30 + partial);
                const auto bytes = [fb](uint64_t frame, uint32_t nudge) { return frame * fb + (nudge ? fb - 1 : 0); };
                const ByteRange range{bytes(c.from, c.fromNudge), bytes(c.to, c.toNudge)};
                const size_t from = c.keptFrom * fb, to = c.keptTo * fb;
                const std::string where = std::string(c.what) + ", " + std::to_string(format.bitsPerSample) + " bits " +
                                          std::to_string(format.channels) + " ch, partial " + std::to_string(partial);
                // The partial frame stays behind the kept tail and is no part of a kept range.
                EXPECT_EQ(rangeEditAllWays(EditKind::DeleteRange, format, sound, range),
                          joined({slice(sound, 0, from), slice(sound, to, sound.size() - to)}))
                    << "delete " << where;
                EXPECT_EQ(rangeEditAllWays(EditKind::Trim, format, sound, range), slice(sound, from, to - from))
                    << "trim " << where;
            }
    }
}

TEST(SoundEditing, SelectionEditsAtTheEndsAreDeleteBeforeAndAfter) {
    const Bytes sound = randomBytes(40003, 40);  // three bytes of a partial frame
    for (uint32_t at : {0u, 4u, 20000u, 40000u}) {
        SoundEdit before(EditKind::DeleteBefore, stereo16, at), after(EditKind::DeleteAfter, stereo16, at);
        SoundEdit deleteStart(EditKind::DeleteRange, stereo16, ByteRange{0, at});
        SoundEdit trimStart(EditKind::Trim, stereo16, ByteRange{0, at});
        EXPECT_EQ(runRewrite(deleteStart, stereo16, sound, 4096), runRewrite(before, stereo16, sound, 4096)) << at;
        EXPECT_EQ(runRewrite(trimStart, stereo16, sound, 4096), runRewrite(after, stereo16, sound, 4096)) << at;
    }
}

TEST(SoundEditing, SelectionEditsStreamLongSoundsInBoundedBuffers) {
    const Bytes sound = randomBytes(3 * defaultTransformBufferBytes + 6, 41);
    const ByteRange range{defaultTransformBufferBytes - 4, 2 * defaultTransformBufferBytes + 8};
    SoundEdit deletion(EditKind::DeleteRange, stereo16, range), trim(EditKind::Trim, stereo16, range);
    EXPECT_EQ(runRewrite(deletion, stereo16, sound, defaultTransformBufferBytes),
              joined({slice(sound, 0, range.from), slice(sound, range.to, sound.size() - range.to)}));
    EXPECT_EQ(runRewrite(trim, stereo16, sound, defaultTransformBufferBytes),
              slice(sound, range.from, range.to - range.from));
}

// ---- failures ------------------------------------------------------------------------

TEST(SoundEditing, RefusesWhatItCannotRead) {
    const Bytes sound = randomBytes(1000, 17);
    const Bytes block = randomBytes(400, 18);
    // Added samples claimed beyond their source.
    MemoryByteSource shortSource(block.data(), block.size());
    SoundEdit paste(EditKind::Paste, stereo16, 0, std::make_unique<RangeStream>(shortSource, 200, 400));
    EXPECT_TRUE(runRewrite(paste, stereo16, sound, 64).empty());
    // No added samples for an edit that needs them.
    SoundEdit insert(EditKind::Insert, stereo16, 0);
    EXPECT_TRUE(runRewrite(insert, stereo16, sound, 64).empty());
    // Widths and channel counts the program never has.
    SoundEdit odd(EditKind::DeleteAfter, PcmFormat{44100, 24, 2}, 0);
    EXPECT_TRUE(runRewrite(odd, PcmFormat{44100, 24, 2}, sound, 64).empty());
}

// A source that answers with zeros for gigabytes without holding them.
class HugeSource : public ByteSource {
public:
    uint64_t size() const override { return 0xC0000000ull; }
    bool readAt(uint64_t, void* buffer, size_t n) override {
        std::fill_n(static_cast<uint8_t*>(buffer), n, 0);
        return true;
    }
};

TEST(SoundEditing, RefusesAResultTooLargeForAWaveFile) {
    HugeSource huge, added;
    SoundEdit insert(EditKind::Insert, stereo16, 0, std::make_unique<RangeStream>(added, 0, added.size()));
    VectorSink sink;
    EXPECT_FALSE(insert.write(huge, SoundData{stereo16, 0, huge.size()}, sink, {}));
    EXPECT_TRUE(sink.bytes.empty());
}

Bytes waveFile(const PcmFormat& f, const Bytes& data) {
    const WaveHeader h =
        makeWaveHeaderForData(f.samplesPerSec, f.bitsPerSample, f.channels, declaredDataSize(data.size(), f.frameBytes()));
    Bytes file = data;
    file.insert(file.begin(), h.begin(), h.end());
    return file;
}

TEST_F(RewriteFiles, AFailingWriteHalfwayLeavesTheWorkingFileByteForByte) {
    const Bytes data = randomBytes(40000, 19);
    const Bytes original = waveFile(stereo16, data);
    const fs::path work = write("work.wav", original);
    const Bytes block = randomBytes(12000, 20);
    for (EditKind kind : {EditKind::Paste, EditKind::Mix, EditKind::Insert, EditKind::DeleteBefore, EditKind::DeleteAfter})
        for (size_t budget : {size_t{0}, size_t{44}, size_t{10000}, size_t{20043}}) {
            MemoryByteSource added(block.data(), block.size());
            SoundEdit edit(kind, stereo16, 20000, std::make_unique<RangeStream>(added, 0, block.size()));
            TransformOptions options;
            options.bufferBytes = 4096;
            options.makeSink = [budget](std::FILE* f) { return std::make_unique<FailingSink>(f, budget); };
            EXPECT_FALSE(rewriteSoundFile(work, SoundData{stereo16, 44, data.size()}, edit, work, options))
                << static_cast<int>(kind) << " " << budget;
            EXPECT_EQ(read(work), original) << static_cast<int>(kind) << " " << budget;
            EXPECT_EQ(filesInFolder(), 1u);
        }
}

TEST_F(RewriteFiles, AFileInsertedIntoItselfIsReleasedBeforeTheReplace) {
    const Bytes data = randomBytes(8000, 21);
    const fs::path work = write("work.wav", waveFile(stereo16, data));
    auto source = openFileSource(work);
    ASSERT_TRUE(source);
    SoundEdit insert(EditKind::Insert, stereo16, 4000, std::make_unique<RangeStream>(std::move(source), 44, 8000));
    ASSERT_TRUE(rewriteSoundFile(work, SoundData{stereo16, 44, data.size()}, insert, work));
    EXPECT_EQ(read(work), waveFile(stereo16, joined({slice(data, 0, 4000), data, slice(data, 4000, 4000)})));
    EXPECT_EQ(filesInFolder(), 1u);
    EXPECT_FALSE(openFileSource(dir_ / "missing.wav"));
}

// ---- samples of another format -------------------------------------------------------

TEST(SampleStreams, ATransformedStreamEqualsTheTransformRunOverTheFile) {
    // Speed down repeats whole frames and keeps a partial one: a change of length.
    for (size_t n : {size_t{0}, size_t{3}, size_t{4000}, size_t{4003}})
        for (size_t buffer : {size_t{4}, size_t{1000}, size_t{4096}}) {
            const Bytes data = randomBytes(n, 22);
            MemoryByteSource source(data.data(), data.size());
            TransformedStream stream(std::make_unique<RangeStream>(source, 0, n), 4,
                                     makeEffect(Effect::SpeedDown, stereo16), buffer);
            auto reference = makeEffect(Effect::SpeedDown, stereo16);
            const Bytes expected = runStreamed(*reference, stereo16, data, 4096);
            ASSERT_EQ(stream.size(), expected.size());
            // Read in uneven pieces.
            Bytes got(expected.size());
            size_t at = 0;
            for (size_t piece = 1; at < got.size(); piece = piece * 3 + 1) {
                const size_t k = std::min(piece, got.size() - at);
                ASSERT_TRUE(stream.read(got.data() + at, k));
                at += k;
            }
            EXPECT_EQ(got, expected) << n << " " << buffer;
            uint8_t more = 0;
            EXPECT_FALSE(stream.read(&more, 1));
        }
}

TEST(SampleStreams, SamplesInTheSoundsFormatPassAsTheyAre) {
    const Bytes data = randomBytes(100, 23);
    MemoryByteSource source(data.data(), data.size());
    auto stream = samplesInFormat(std::make_unique<RangeStream>(source, 10, 80), stereo16, stereo16);
    ASSERT_TRUE(stream);
    Bytes got(80);
    ASSERT_TRUE(stream->read(got.data(), 80));
    EXPECT_EQ(got, slice(data, 10, 80));
}

TEST(SampleStreams, SamplesOfAnotherFormatComeThroughTheConversionStages) {
    const struct {
        PcmFormat from, to;
    } cases[] = {
        {PcmFormat{22050, 8, 1}, stereo16},       // every stage, the rate upwards
        {stereo16, mono8},                        // every stage, the rate downwards
        {PcmFormat{48000, 16, 1}, stereo16},      // rate and channels, same width
        {PcmFormat{44100, 8, 2}, stereo16},       // width alone
    };
    for (const auto& c : cases)
        for (size_t n : {size_t{0}, size_t{1}, size_t{3001}, size_t{200000}}) {
            const Bytes data = randomBytes(n + 7, 24);
            MemoryByteSource source(data.data(), data.size());
            auto stream = samplesInFormat(std::make_unique<RangeStream>(source, 7, n), c.from, c.to);
            ASSERT_TRUE(stream);
            auto reference = makeConversion(c.from, c.to);
            const Bytes expected = runStreamed(*reference, c.from, slice(data, 7, n), 1 << 20);
            ASSERT_EQ(stream->size(), expected.size()) << n;
            Bytes got(expected.size());
            ASSERT_TRUE(stream->read(got.data(), got.size()));
            EXPECT_EQ(got, expected) << c.from.samplesPerSec << " " << n;
        }
}

TEST(SampleStreams, AFormatTheStagesDoNotTakeGivesNoStream) {
    const Bytes data = randomBytes(96, 25);
    for (const PcmFormat& bad : {PcmFormat{44100, 24, 2}, PcmFormat{44100, 16, 3}, PcmFormat{0, 16, 2}}) {
        MemoryByteSource source(data.data(), data.size());
        EXPECT_FALSE(samplesInFormat(std::make_unique<RangeStream>(source, 0, 96), bad, stereo16));
    }
}

// ---- the clipboard's blocks ----------------------------------------------------------

TEST(ClipboardData, TheFormatRecordRoundTrips) {
    const FormatRecord r = makeFormatRecord(PcmFormat{22050, 16, 2});
    EXPECT_EQ(Bytes(r.begin(), r.end()), (Bytes{1, 0, 2, 0, 0x22, 0x56, 0, 0, 0x88, 0x58, 1, 0, 4, 0, 16, 0}));
    PcmFormat f;
    ASSERT_TRUE(readFormatRecord(r.data(), r.size(), f));
    EXPECT_TRUE(f == (PcmFormat{22050, 16, 2}));
    const auto refused = [](size_t at, uint8_t value, size_t n = formatRecordBytes) {
        FormatRecord bad = makeFormatRecord(PcmFormat{8000, 8, 1});
        bad[at] = value;
        PcmFormat ignored;
        return !readFormatRecord(bad.data(), n, ignored);
    };
    EXPECT_FALSE(refused(8, 0xFF)) << "bytes per second are not relied on";
    EXPECT_TRUE(refused(0, 2));       // not PCM
    EXPECT_TRUE(refused(2, 3));       // three channels
    EXPECT_TRUE(refused(4, 0x41));    // 8001 Hz
    EXPECT_TRUE(refused(14, 24));     // 24-bit
    EXPECT_TRUE(refused(14, 4));      // 4-bit
    EXPECT_TRUE(refused(0, 1, 15));   // short
}

TEST(ClipboardData, APasteTakesWhatTheClipboardOffers) {
    const Bytes samples = randomBytes(1000, 24);
    const FormatRecord record = makeFormatRecord(PcmFormat{8000, 8, 1});
    const Bytes badRecord(16, 0);
    const Bytes wave = waveFile(PcmFormat{11025, 16, 1}, randomBytes(501, 25));
    const Bytes notWave = Bytes(60, 'x');
    const struct {
        const char* what;
        ClipboardBlocks blocks;
        ClipboardCheck check;
        PcmFormat format;
        size_t offset, size;
        const Bytes* block;
    } cases[] = {
        {"nothing", {}, ClipboardCheck::Nothing, {}, 0, 0, nullptr},
        {"raw samples as they stand", {samples.data(), 1000}, ClipboardCheck::Ok, stereo16, 0, 1000, &samples},
        {"raw samples in their recorded format", {samples.data(), 1000, record.data(), 16}, ClipboardCheck::Ok,
         PcmFormat{8000, 8, 1}, 0, 1000, &samples},
        {"a record that cannot be taken", {samples.data(), 1000, badRecord.data(), 16}, ClipboardCheck::NotValid, {}, 0, 0,
         nullptr},
        {"raw samples before a WAV file", {samples.data(), 1000, nullptr, 0, wave.data(), wave.size()},
         ClipboardCheck::Ok, stereo16, 0, 1000, &samples},
        {"a WAV file alone", {nullptr, 0, nullptr, 0, wave.data(), wave.size()}, ClipboardCheck::Ok,
         PcmFormat{11025, 16, 1}, 44, 500, &wave},  // the whole frames its header declares
        {"not a WAV file", {nullptr, 0, nullptr, 0, notWave.data(), notWave.size()}, ClipboardCheck::NotValid, {}, 0, 0,
         nullptr},
    };
    for (const auto& c : cases) {
        const ClipboardSamples s = clipboardSamples(c.blocks, stereo16);
        EXPECT_EQ(s.check, c.check) << c.what;
        if (c.check != ClipboardCheck::Ok) continue;
        EXPECT_TRUE(s.data.format == c.format) << c.what;
        EXPECT_EQ(s.data.offset, c.offset) << c.what;
        EXPECT_EQ(s.data.size, c.size) << c.what;
        EXPECT_EQ(s.block, c.block->data()) << c.what;
        EXPECT_EQ(s.blockSize, c.block->size()) << c.what;
    }
}

}  // namespace
