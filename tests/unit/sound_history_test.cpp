#include "core/sound/sound_history.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/sound/conversion.h"
#include "core/sound/effects.h"
#include "core/sound/sound_edit.h"
#include "core/wav/wave_header.h"
#include "rewrite_files.h"
#include "stream_helpers.h"

namespace {

const PcmFormat stereo16{44100, 16, 2};

// What a step must bring back: the whole working file, and what the window shows of it.
struct Seen {
    Bytes file;
    PcmFormat format;
    uint64_t length;
    int32_t position;
    bool modified;
};

class SoundHistoryFiles : public RewriteFiles {
protected:
    void SetUp() override {
        RewriteFiles::SetUp();
        fs::create_directories(dir_ / "steps");
    }

    // A recording as the recorder makes it: each buffer told to the history, then written.
    void record(SoundHistory& h, WorkingSound& s, const std::vector<std::pair<uint64_t, Bytes>>& writes) {
        ASSERT_TRUE(s.openForUpdate());
        h.beginRecording();
        s.setModified(true);
        for (const auto& [at, bytes] : writes) {
            h.beforeWrite(at, bytes.size());
            size_t written = 0;
            ASSERT_TRUE(s.seekWrite(at) && s.writeData(bytes.data(), bytes.size(), written));
            s.setLength(std::max<uint64_t>(s.length(), at + bytes.size()));
        }
        ASSERT_TRUE(s.refreshHeader());
        h.endRecording();
    }

    Seen seen(WorkingSound& s) {
        s.flush();
        return {read(s.path()), s.format(), s.length(), position, s.modified()};
    }

    size_t stepFiles() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir_ / "steps"), {})); }

    int32_t position = 0;
};

void expectSame(const Seen& got, const Seen& want, const std::string& what) {
    EXPECT_EQ(firstDifference(got.file, want.file), -1) << what;
    EXPECT_EQ(got.file.size(), want.file.size()) << what;
    EXPECT_EQ(got.format.samplesPerSec, want.format.samplesPerSec) << what;
    EXPECT_EQ(got.format.bitsPerSample, want.format.bitsPerSample) << what;
    EXPECT_EQ(got.format.channels, want.format.channels) << what;
    EXPECT_EQ(got.length, want.length) << what;
    EXPECT_EQ(got.position, want.position) << what;
    EXPECT_EQ(got.modified, want.modified) << what;
}

TEST_F(SoundHistoryFiles, EveryKindOfChangeGoesBackAndForthByteForByte) {
    WorkingSound s;
    s.setFormat(stereo16);
    ASSERT_TRUE(s.create(dir_ / "work.wav"));
    const Bytes data = randomBytes(40001, 7);  // a partial frame at the end
    MemoryByteSource source(data.data(), data.size());
    ASSERT_TRUE(s.appendFrom(source, 0, data.size()));
    SoundHistory h(s, [this] { return position; });
    h.setStepFiles(dir_ / "steps", "session_");

    using Change = std::function<void()>;
    auto effect = [&](Effect e) {
        return [&, e] {
            auto t = makeEffect(e, s.format());
            TransformRewrite r(*t);
            ASSERT_TRUE(h.rewrite(r));
            s.setModified(true);
        };
    };
    const struct {
        const char* what;
        int32_t position;
        Change change;
    } changes[] = {
        {"reverse", 120, effect(Effect::Reverse)},
        {"convert to 8-bit mono 22050",
         0,
         [&] {
             const PcmFormat to{22050, 8, 1};
             auto t = makeConversion(s.format(), to);
             TransformRewrite r(*t);
             ASSERT_TRUE(h.rewrite(r, to));
             s.setModified(true);
         }},
        {"delete after", 7,
         [&] {
             SoundEdit cut(EditKind::DeleteAfter, s.format(), 3000);
             ASSERT_TRUE(h.rewrite(cut));
             s.setModified(true);
         }},
        {"appended recording", 9, [&] { record(h, s, {{3000, randomBytes(500, 1)}, {3500, randomBytes(700, 2)}}); }},
        {"overwriting recording that runs past the end", 3,
         [&] { record(h, s, {{2000, randomBytes(1000, 3)}, {3000, randomBytes(1000, 4)}, {4000, randomBytes(900, 5)}}); }},
        // Back to the start while recording: the same bytes are overwritten twice.
        {"overwriting recording that goes back to the start", 4,
         [&] { record(h, s, {{100, randomBytes(300, 6)}, {0, randomBytes(250, 7)}, {250, randomBytes(300, 8)}}); }},
        {"volume up", 5, effect(Effect::VolumeUp)},
    };

    std::vector<Seen> states{seen(s)};
    for (const auto& c : changes) {
        position = c.position;
        c.change();
        position = -1;  // where the window stands after a change is its own affair
        states.push_back(seen(s));
    }
    // One file a step; the appended recording needs none: its undo cuts.
    EXPECT_EQ(stepFiles(), 6u);

    // Each undo brings the sound before a change, and the position the change was made at.
    for (size_t i = std::size(changes); i-- > 0;) {
        ASSERT_TRUE(h.undo()) << changes[i].what;
        position = h.position();
        Seen want = states[i];
        want.position = changes[i].position;
        want.modified = i > 0;  // back where it was opened
        expectSame(seen(s), want, std::string("undo ") + changes[i].what);
    }
    EXPECT_FALSE(h.undo());
    for (size_t i = 0; i < std::size(changes); ++i) {
        ASSERT_TRUE(h.redo()) << changes[i].what;
        position = h.position();
        Seen want = states[i + 1];
        // Where the window stood when that change was undone.
        want.position = i + 1 < std::size(changes) ? changes[i + 1].position : -1;
        want.modified = true;
        expectSame(seen(s), want, std::string("redo ") + changes[i].what);
    }
    EXPECT_FALSE(h.redo());

    // Undo, then a new change: the redo steps are gone, and so are their files.
    ASSERT_TRUE(h.undo() && h.undo());
    effect(Effect::VolumeDown)();
    EXPECT_FALSE(h.canRedo());
    EXPECT_EQ(h.undoSteps(), 6u);
    EXPECT_EQ(stepFiles(), 5u);
    h.clear();
    EXPECT_EQ(stepFiles(), 0u);
    EXPECT_FALSE(h.canUndo());
}

TEST_F(SoundHistoryFiles, TheSavedSoundNeedsNoQuestionWhereverUndoFindsIt) {
    WorkingSound s;
    s.setFormat(stereo16);
    ASSERT_TRUE(s.create(dir_ / "work.wav"));
    SoundHistory h(s, [] { return 0; });
    h.setStepFiles(dir_ / "steps", "session_");
    auto change = [&] {
        auto t = makeEffect(Effect::VolumeUp, s.format());
        TransformRewrite r(*t);
        ASSERT_TRUE(h.rewrite(r));
        s.setModified(true);
    };
    // A sound saved after two changes: going back from it asks, coming back to it does not.
    change();
    change();
    s.setModified(false);  // saved
    change();
    const bool modifiedAfterUndo[] = {false, true, true};
    for (bool modified : modifiedAfterUndo) {
        ASSERT_TRUE(h.undo());
        EXPECT_EQ(s.modified(), modified);
    }
    ASSERT_TRUE(h.redo() && h.redo());
    EXPECT_FALSE(s.modified());

    // A sound taken back after a crash was never saved: undoing back to it still asks.
    h.clear();
    s.setModified(true);
    change();
    ASSERT_TRUE(h.undo());
    EXPECT_TRUE(s.modified());
}

TEST_F(SoundHistoryFiles, AFileOpenedInPlaceComesBackAsTheUserHadIt) {
    // A chunk before the data, as other programs write: kept whole by undo.
    const Bytes data = randomBytes(4000, 3);
    const WaveHeader header = makeWaveHeaderForData(44100, 16, 2, 4000);
    Bytes file(header.begin(), header.begin() + 36);
    const Bytes list = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'I', 'N', 'F', 'O'};
    file.insert(file.end(), list.begin(), list.end());
    file.insert(file.end(), header.begin() + 36, header.end());
    file.insert(file.end(), data.begin(), data.end());
    file[4] += static_cast<uint8_t>(list.size());
    const fs::path own = write("own.wav", file);

    WorkingSound s;
    s.setFormat(stereo16);
    s.setDirectMode(true);
    WaveInfo info;
    info.check = WaveCheck::Ok;
    info.dataOffset = 56;
    info.dataSize = 4000;
    s.adopt(own, info);
    SoundHistory h(s, [] { return 0; });
    h.setStepFiles(dir_ / "steps", "session_");
    auto t = makeEffect(Effect::Reverse, s.format());
    TransformRewrite r(*t);
    ASSERT_TRUE(h.rewrite(r));
    EXPECT_NE(read(own), file);
    ASSERT_TRUE(h.undo());
    EXPECT_EQ(read(own), file);
    EXPECT_EQ(s.path(), own);
    Bytes first(8);
    EXPECT_TRUE(s.readData(0, first.data(), 8) && first == Bytes(data.begin(), data.begin() + 8));
    ASSERT_TRUE(h.redo());
    EXPECT_EQ(read(own).size(), 44u + 4000u);
}

TEST_F(SoundHistoryFiles, AChangeThatCannotKeepItsStepIsMadeAndTheHistoryForgotten) {
    WorkingSound s;
    s.setFormat(stereo16);
    ASSERT_TRUE(s.create(dir_ / "work.wav"));
    const Bytes data = randomBytes(4000, 5);
    MemoryByteSource source(data.data(), data.size());
    ASSERT_TRUE(s.appendFrom(source, 0, data.size()));
    SoundHistory h(s, [] { return 0; });
    h.setStepFiles(dir_ / "steps", "session_");
    auto reverse = [&] {
        auto t = makeEffect(Effect::Reverse, s.format());
        TransformRewrite r(*t);
        return h.rewrite(r);
    };
    ASSERT_TRUE(reverse());
    EXPECT_TRUE(h.canUndo());
    // The steps' folder is gone: the next step has nowhere to go.
    fs::remove_all(dir_ / "steps");
    ASSERT_TRUE(reverse());
    Bytes back(data.size());
    EXPECT_TRUE(s.readData(0, back.data(), back.size()) && back == data);
    EXPECT_FALSE(h.canUndo());
}

}  // namespace
