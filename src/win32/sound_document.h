// The working sound as a document: the File, Edit and Effect menus' handlers and Undo.
// Each stops the transport, runs its command and shows what changed, through the window's
// transport (DocumentView) and the menu items that follow the sound.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "core/sound/effects.h"
#include "core/sound/sound_edit.h"
#include "core/sound/sound_history.h"
#include "core/sound/working_sound.h"
#include "win32/commands/commands.h"
#include "win32/ui.h"
#include "win32/wave_pane.h"

class EqualizerWindow;
class FormatDialog;
class LevelPicture;
class Recorder;

// What the document needs of the window's transport.
class DocumentView {
public:
    virtual ~DocumentView() = default;
    virtual void stopGuard() = 0;
    virtual bool transportBusy() const = 0;
    // The format item checked in the menu, and the sound and the devices in that format.
    virtual void selectFormat(int index) = 0;
    // The length label and the slider's range; the position at the start.
    virtual void showLength(double seconds) = 0;
    // Both labels and the slider at zero, for no sound.
    virtual void clearTransport() = 0;
    // The buttons for a sound that is there and stopped, or for none (record only).
    virtual void enableTransport(bool hasSound) = 0;
    virtual int sliderPosition() const = 0;
    virtual int sliderMax() const = 0;
    virtual void setSliderPosition(int position) = 0;
    // The slider was moved: the labels and the level preview follow it.
    virtual void onSliderMoved() = 0;
};

class SoundDocument : private WavePaneListener {
public:
    struct Parts {
        WorkingSound& sound;
        SoundHistory& history;
        Recorder& recorder;
        LevelPicture& levels;
        FormatDialog& formatDialog;
        EqualizerWindow& equalizerWindow;
    };
    SoundDocument(Parts parts, Ui& ui, DocumentView& view);
    ~SoundDocument();
    SoundDocument(const SoundDocument&) = delete;
    SoundDocument& operator=(const SoundDocument&) = delete;

    // The menu bar and its File > Format popup, whose items follow the sound.
    void setMenus(HMENU menuBar, HMENU formatMenu);
    // This run's undo steps, after those that ended runs left go.
    void beginUndoSession();
    // What an earlier run that ended abnormally left: offered back or deleted.
    void offerLeftovers();

    // A menu command of the File, Edit or Effect menu; false when id is none of them.
    bool onCommand(UINT id);
    void openWaveFile(const std::wstring& path);
    void onDropFiles(HDROP drop);

    // The waveform pane, which shows the sound and holds the selection.
    WavePane& pane() { return pane_; }
    // The play position's frame at a slider position.
    uint64_t frameAt(int sliderPosition) const;

    void enableFormatItems(bool enable);
    void enablePcmMenu(bool enable);
    void enablePasteItems();
    void enableUndoItems();
    void enableSelectionItems();

private:
    // WavePaneListener
    void paneSetPosition(uint64_t frame) override;
    void paneSelectionChanged() override;

    void redrawRecordLevels();
    void resetDocument();
    void onNew();
    void onOpen();
    void onCopy();
    void onPaste(EditKind kind);
    void onSpliceFile(EditKind kind);
    void onDelete(EditKind kind);
    void onDeleteSelection(EditKind kind);
    void onEffect(Effect effect);
    void onConvert();
    void onEqualizedOutput();
    void onUndo(bool back);
    void showRestoredSound();
    void showFormat(const PcmFormat& format);
    // Where a paste or an insertion goes: the selection's start, or the slider's position.
    uint64_t editPosition() const;
    // The sound changed from unchangedBytes on: the pane shows it anew, without a selection.
    void showChange(uint64_t unchangedBytes = 0);

    WorkingSound& sound;
    SoundHistory& history;
    Recorder& recorder;
    LevelPicture& levels;
    FormatDialog& formatDialog;
    EqualizerWindow& equalizerWindow;
    Ui& ui;
    DocumentView& view;
    HMENU menuBar = nullptr;
    HMENU formatMenu = nullptr;
    ClipboardFormats clipboardFormats;
    HANDLE undoLock = INVALID_HANDLE_VALUE;  // marks this run's undo steps as in use
    WavePane pane_{sound, *this};
};
