#include "win32/audio/player.h"

#include <algorithm>

#include "core/program/transport_math.h"
#include "win32/audio/device_format.h"

Player::Start Player::start(HWND notify, uint64_t fromBytes, uint64_t toBytes, uint32_t blockWords) {
    blockWords_ = std::min(blockWords, maxBlockWords);
    eqHistory_.reset(sound_.format().channels);
    eqContinuesAt_ = 0;
    queuedBytes_ = 0;
    startBytes_ = fromBytes;
    const uint64_t length = std::min(sound_.length(), toBytes);
    remainBytes_ = startBytes_ < length ? length - startBytes_ : 0;
    if (remainBytes_ < sound_.frameBytes()) return Start::AtEnd;

    reader_ = sound_.openReader(startBytes_);
    if (!reader_) return Start::Failed;
    if (playing()) return Start::Playing;

    draining_ = false;
    PlaySoundW(nullptr, nullptr, SND_PURGE);
    std::fill(buffers_.begin(), buffers_.end(), 0);
    for (auto& q : queued_) q = false;

    const WAVEFORMATEX format = deviceFormat(sound_.format());
    if (waveOutOpen(&device_, deviceId_, &format, reinterpret_cast<DWORD_PTR>(notify), 0, CALLBACK_WINDOW) !=
        MMSYSERR_NOERROR) {
        device_ = nullptr;
        reader_.reset();
        return Start::NoDevice;
    }
    watch_.start(false, deviceId_, format);
    for (int i = 0; i < bufferCount; ++i) {
        WAVEHDR& h = headers_[i];
        h = WAVEHDR{};
        h.lpData = reinterpret_cast<LPSTR>(&buffers_[i * maxBlockWords]);
        h.dwLoops = 1;
        // A section shorter than four buffers plays with the ones it fills.
        if (!fillBuffer(i)) return i == 0 ? Start::Failed : Start::Playing;
        if (waveOutPrepareHeader(device_, &h, sizeof h) != MMSYSERR_NOERROR) return Start::NotPrepared;
        watch_.answered(waveOutWrite(device_, &h, sizeof h));
        queued_[i] = true;
    }
    return Start::Playing;
}

// Reads the next part of the section into buffer i; false when nothing is left.
bool Player::fillBuffer(int i) {
    const uint32_t frame = sound_.frameBytes();
    const uint64_t left = remainBytes_ - queuedBytes_;
    uint32_t n = nextPlayChunk(left, blockWords_, frame);
    char* data = reinterpret_cast<char*>(&buffers_[i * maxBlockWords]);
    if (n > 0) {
        const uint32_t got = static_cast<uint32_t>(reader_ ? reader_->read(data, n) : 0);
        n = got < n ? got - got % (frame ? frame : 1) : n;
    }
    if (n == 0) return false;

    short* words = &buffers_[i * maxBlockWords];
    const uint32_t wordCount = n / 2;
    if (sound_.format().bitsPerSample != 8) equalize(words, wordCount);
    listener_.showLevels(words, wordCount / 2, blockWords_);
    listener_.showPlayPosition(static_cast<double>(queuedBytes_ + startBytes_) / sound_.bytesPerSecond());

    headers_[i].dwBufferLength = n;
    headers_[i].dwFlags = 0;
    queuedBytes_ += n;
    return true;
}

void Player::equalize(short* words, uint32_t count) {
    const EqualizerTables* tables = equalizer_ ? equalizer_() : nullptr;
    if (!tables) return;
    // A block that does not follow the last one filtered (the switch was off meanwhile)
    // starts with no history, as a new playback does.
    if (eqContinuesAt_ != queuedBytes_) eqHistory_.reset(sound_.format().channels);
    equalizeBlock(*tables, eqHistory_, words, count);
    eqContinuesAt_ = queuedBytes_ + 2 * count;
}

void Player::onDone(HWAVEOUT device) {
    // Completions of a device that was already closed are left alone.
    if (!playing() || device != device_) return;
    watch_.alive();
    bool anyQueued = false;
    for (int i = 0; i < bufferCount; ++i) {
        WAVEHDR& h = headers_[i];
        if (queued_[i] && (h.dwFlags & WHDR_DONE)) {
            waveOutUnprepareHeader(device_, &h, sizeof h);
            queued_[i] = false;
            if (fillBuffer(i) && waveOutPrepareHeader(device_, &h, sizeof h) == MMSYSERR_NOERROR) {
                watch_.answered(waveOutWrite(device_, &h, sizeof h));
                queued_[i] = true;
            }
        }
        anyQueued = anyQueued || queued_[i];
    }
    // Every buffer is back. A device may hand buffers back before they are heard, so
    // the end waits until its position says the last byte has played.
    if (!anyQueued && !draining_) {
        draining_ = true;
        const uint32_t avg = sound_.bytesPerSecond() ? sound_.bytesPerSecond() : 1;
        drainDeadline_ = GetTickCount() + 1000 + static_cast<DWORD>(4ull * bufferCount * blockWords_ * 1000 / avg);
        checkDrained();
    }
}

void Player::checkDrained() {
    if (!playing() || !draining_) return;
    MMTIME t{};
    t.wType = TIME_BYTES;
    const bool known = waveOutGetPosition(device_, &t, sizeof t) == MMSYSERR_NOERROR && t.wType == TIME_BYTES;
    if (!known || t.u.cb >= queuedBytes_ || static_cast<LONG>(GetTickCount() - drainDeadline_) >= 0)
        listener_.playbackEnded();
}

// While draining the deadline ends playback whatever the device does.
void Player::checkDevice() {
    if (playing() && !draining_ && watch_.gone()) listener_.deviceLost(false);
}

bool Player::stop() {
    reader_.reset();
    watch_.stop();
    if (!playing()) return false;
    waveOutReset(device_);
    for (int i = 0; i < bufferCount; ++i) {
        if (headers_[i].dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device_, &headers_[i], sizeof(WAVEHDR));
        queued_[i] = false;
    }
    waveOutClose(device_);
    device_ = nullptr;
    draining_ = false;
    return true;
}
