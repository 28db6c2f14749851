#include "core/sound/sound_history.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/sound/conversion.h"
#include "core/sound/effects.h"
#include "core/sound/sound_edit.h"
#include "core/wav/file_steps.h"
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

public:
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

protected:
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

// Makes the core's file steps fail as told, until it goes.
class InjectedFailure {
public:
    explicit InjectedFailure(FileFailure failure) { setFileFailure(std::move(failure)); }
    ~InjectedFailure() { setFileFailure({}); }
};

// A sound of its own and its history, in a folder of its own, after a change.
struct Scene {
    WorkingSound sound;
    SoundHistory history{sound, [] { return 0; }};
    fs::path folder;
};

// What must stay as it was when a step fails: the sound, its file, both lists, and the
// files beside it.
struct Kept {
    Bytes file;
    uint64_t length;
    uint16_t bits;
    size_t undoSteps, redoSteps, files;
    bool operator==(const Kept& o) const {
        return file == o.file && length == o.length && bits == o.bits && undoSteps == o.undoSteps &&
               redoSteps == o.redoSteps && files == o.files;
    }
};

size_t filesUnder(const fs::path& folder) {
    return static_cast<size_t>(std::distance(fs::recursive_directory_iterator(folder), {}));
}

Kept kept(Scene& c) {
    c.sound.flush();
    return {RewriteFiles::read(c.sound.path()), c.sound.length(), c.sound.format().bitsPerSample,
            c.history.undoSteps(), c.history.redoSteps(), filesUnder(c.folder)};
}

using SceneChange = std::function<void(SoundHistoryFiles&, Scene&)>;

class StepFailures : public SoundHistoryFiles {
protected:
    // A 40000-byte sound changed once, in a folder of its own; undone first for a redo.
    std::unique_ptr<Scene> scene(const SceneChange& change, bool undoneFirst) {
        auto c = std::make_unique<Scene>();
        c->folder = dir_ / ("scene" + std::to_string(++scenes_));
        fs::create_directories(c->folder / "steps");
        c->sound.setFormat(stereo16);
        EXPECT_TRUE(c->sound.create(c->folder / "work.wav"));
        const Bytes data = randomBytes(40000, 9);
        MemoryByteSource source(data.data(), data.size());
        EXPECT_TRUE(c->sound.appendFrom(source, 0, data.size()));
        c->history.setStepFiles(c->folder / "steps", "session_");
        change(*this, *c);
        if (undoneFirst) {
            EXPECT_TRUE(c->history.undo());
        }
        return c;
    }

    static SceneChange effect(Effect e) {
        return [e](SoundHistoryFiles&, Scene& c) {
            auto t = makeEffect(e, c.sound.format());
            TransformRewrite r(*t);
            ASSERT_TRUE(c.history.rewrite(r));
        };
    }
    static SceneChange recording(std::vector<std::pair<uint64_t, Bytes>> writes) {
        return [writes](SoundHistoryFiles& f, Scene& c) { f.record(c.history, c.sound, writes); };
    }

    int scenes_ = 0;
};

TEST_F(StepFailures, AStepThatCannotBeReadIsDroppedAndTheSoundKept) {
    const struct {
        const char* what;
        SceneChange change;
    } changes[] = {
        {"reverse", effect(Effect::Reverse)},
        {"overwriting recording", recording({{30000, randomBytes(1000, 1)}, {1000, randomBytes(1000, 2)}})},
    };
    const struct {
        const char* what;
        std::function<void(const fs::path&)> spoil;
    } spoils[] = {
        {"deleted", [](const fs::path& p) { fs::remove(p); }},
        {"cut short", [](const fs::path& p) { fs::resize_file(p, 100); }},
    };
    for (const auto& change : changes)
        for (const auto& spoil : spoils)
            for (bool back : {true, false}) {
                const std::string what = std::string(change.what) + ", step " + spoil.what + (back ? ", undo" : ", redo");
                // Two changes, the second undone: one step each way.
                auto c = scene([&](SoundHistoryFiles& f, Scene& sc) { change.change(f, sc); change.change(f, sc); }, true);
                const Kept before = kept(*c);
                const fs::path steps = c->folder / "steps";
                std::vector<fs::path> files;
                for (const auto& file : fs::directory_iterator(steps)) files.push_back(file.path());
                std::sort(files.begin(), files.end());  // by number: the undo step was made first
                ASSERT_EQ(files.size(), 2u) << what;
                spoil.spoil(back ? files[0] : files[1]);
                EXPECT_FALSE(back ? c->history.undo() : c->history.redo()) << what;
                const Kept after = kept(*c);
                EXPECT_EQ(after.file, before.file) << what;
                EXPECT_EQ(after.length, before.length) << what;
                EXPECT_EQ(back ? after.undoSteps : after.redoSteps, 0u) << what;
                EXPECT_EQ(back ? after.redoSteps : after.undoSteps, 1u) << what << ": the other way is kept";
                EXPECT_TRUE(back ? c->history.redo() : c->history.undo()) << what;
            }
}

TEST_F(StepFailures, AFailureOnTheWayLeavesTheSoundAndBothListsAsTheyWere) {
    const uint64_t dataStart = 44;
    const struct {
        const char* what;
        SceneChange change;
        bool back;
        FileFailure failure;
    } cases[] = {
        // A disk error past an offset: the piece below it is written back, the one above is not.
        {"undo of a recording over 30000 and then 1000, writes past 20000 failing",
         recording({{30000, randomBytes(1000, 1)}, {1000, randomBytes(1000, 2)}}), true,
         [](FileStep step, uint64_t at, size_t n) { return step == FileStep::Write && at + n > 20000; }},
        {"redo of a 200000-byte take, the disk full 100000 bytes in",
         recording({{40000, randomBytes(200000, 3)}}), false,
         [=](FileStep step, uint64_t at, size_t n) {
             return step == FileStep::Write && at + n > dataStart + 40000 + 100000;
         }},
        {"undo of reverse, no rename and no copy", effect(Effect::Reverse), true,
         [](FileStep step, uint64_t, size_t) { return step == FileStep::Rename || step == FileStep::Copy; }},
        {"redo of reverse, no second name", effect(Effect::Reverse), false,
         [](FileStep step, uint64_t, size_t) { return step == FileStep::Link || step == FileStep::Copy; }},
    };
    for (const auto& c : cases) {
        auto reference = scene(c.change, !c.back);
        ASSERT_TRUE(c.back ? reference->history.undo() : reference->history.redo()) << c.what;
        const Kept wanted = kept(*reference);

        auto sc = scene(c.change, !c.back);
        const Kept before = kept(*sc);
        {
            InjectedFailure failure(c.failure);
            EXPECT_FALSE(c.back ? sc->history.undo() : sc->history.redo()) << c.what;
        }
        EXPECT_TRUE(kept(*sc) == before) << c.what;
        // What Save As writes is the sound, not what the failure left past it.
        ASSERT_TRUE(sc->sound.saveCopy(sc->folder / "saved.wav", false)) << c.what;
        EXPECT_EQ(read(sc->folder / "saved.wav").size(), 44 + sc->sound.length()) << c.what;
        fs::remove(sc->folder / "saved.wav");
        // Nothing was lost on the way: the same step goes through once the disk is well.
        ASSERT_TRUE(c.back ? sc->history.undo() : sc->history.redo()) << c.what;
        EXPECT_EQ(kept(*sc).file, wanted.file) << c.what;
        EXPECT_EQ(sc->sound.length(), wanted.length) << c.what;
    }
}

// As on Windows with a scanner holding the step: its rename fails and so does its removal,
// but a copy takes the working file's place, and the step stays only as a leftover.
TEST_F(StepFailures, AStepThatCannotBeRenamedOrRemovedIsCopiedIntoPlace) {
    auto reference = scene(effect(Effect::Reverse), false);
    const Kept changed = kept(*reference);
    ASSERT_TRUE(reference->history.undo());
    const Kept original = kept(*reference);

    auto sc = scene(effect(Effect::Reverse), false);
    {
        int renames = 0;
        InjectedFailure failure([&](FileStep step, uint64_t, size_t) {
            return step == FileStep::Remove || (step == FileStep::Rename && ++renames == 1);
        });
        ASSERT_TRUE(sc->history.undo());
    }
    EXPECT_EQ(kept(*sc).file, original.file);
    EXPECT_EQ(kept(*sc).files, original.files + 1) << "the step that could not go";
    ASSERT_TRUE(sc->history.redo());
    EXPECT_EQ(kept(*sc).file, changed.file);
}

// Undo and redo of every kind of change, with the n-th file step failing for each n in turn:
// each ends done, or with everything as it was and the step still there to take.
TEST_F(StepFailures, EveryStepOfUndoAndRedoFailsInTurn) {
    const struct {
        const char* what;
        SceneChange change;
    } changes[] = {
        {"reverse", effect(Effect::Reverse)},
        {"convert to 8-bit mono",
         [](SoundHistoryFiles&, Scene& c) {
             const PcmFormat to{22050, 8, 1};
             auto t = makeConversion(c.sound.format(), to);
             TransformRewrite r(*t);
             ASSERT_TRUE(c.history.rewrite(r, to));
         }},
        {"delete after",
         [](SoundHistoryFiles&, Scene& c) {
             SoundEdit cut(EditKind::DeleteAfter, c.sound.format(), 30);
             ASSERT_TRUE(c.history.rewrite(cut));
         }},
        {"appended recording", recording({{40000, randomBytes(5000, 4)}})},
        {"recording over the end", recording({{39000, randomBytes(3000, 5)}, {2000, randomBytes(800, 6)}})},
    };
    for (const auto& change : changes)
        for (bool back : {true, false}) {
            const std::string what = std::string(change.what) + (back ? ", undo" : ", redo");
            auto reference = scene(change.change, !back);
            ASSERT_TRUE(back ? reference->history.undo() : reference->history.redo()) << what;
            const Kept wanted = kept(*reference);
            int steps = 0;
            for (int n = 1;; ++n) {
                auto sc = scene(change.change, !back);
                const Kept before = kept(*sc);
                bool done;
                {
                    InjectedFailure failure([&, n](FileStep step, uint64_t, size_t) {
                        return step != FileStep::Remove && ++steps == n;
                    });
                    steps = 0;
                    done = back ? sc->history.undo() : sc->history.redo();
                }
                const std::string at = what + ", step " + std::to_string(n) + " failing";
                if (!done) {
                    const Kept after = kept(*sc);
                    ASSERT_TRUE(after == before) << at;
                    ASSERT_TRUE(back ? sc->history.undo() : sc->history.redo()) << at;
                }
                const Kept after = kept(*sc);
                EXPECT_EQ(after.file, wanted.file) << at;
                EXPECT_EQ(after.length, wanted.length) << at;
                EXPECT_EQ(after.undoSteps, wanted.undoSteps) << at;
                EXPECT_EQ(after.redoSteps, wanted.redoSteps) << at;
                EXPECT_EQ(after.files, wanted.files) << at << ": no file left behind";
                if (steps < n) break;  // no step failed: every one has had its turn
            }
            EXPECT_GT(steps, 2) << what;
        }
}

}  // namespace
