#include "core/sound/foreign_samples.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/sound/resampler.h"
#include "core/wav/little_endian.h"
#include "core/wav/wave_header.h"

namespace {

constexpr uint32_t ownRates[] = {8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr size_t blockFrames = 8192;  // input frames per buffer
constexpr float centreGain = 0.70710678f;

// Speaker bits of a channel mask.
enum Speaker : uint32_t {
    FrontLeft = 0x1,
    FrontRight = 0x2,
    FrontCentre = 0x4,
    LowFrequency = 0x8,
    BackLeft = 0x10,
    BackRight = 0x20,
    FrontLeftOfCentre = 0x40,
    FrontRightOfCentre = 0x80,
    BackCentre = 0x100,
    SideLeft = 0x200,
    SideRight = 0x400,
    TopCentre = 0x800,
    TopFrontLeft = 0x1000,
    TopFrontCentre = 0x2000,
    TopFrontRight = 0x4000,
    TopBackLeft = 0x8000,
    TopBackCentre = 0x10000,
    TopBackRight = 0x20000,
};

// The layouts files without a mask are taken to have: 2.0, 3.0, quad, 5.0, 5.1, 6.1, 7.1.
uint32_t usualLayout(uint16_t channels) {
    switch (channels) {
    case 3: return FrontLeft | FrontRight | FrontCentre;
    case 4: return FrontLeft | FrontRight | BackLeft | BackRight;
    case 5: return FrontLeft | FrontRight | FrontCentre | BackLeft | BackRight;
    case 6: return FrontLeft | FrontRight | FrontCentre | LowFrequency | BackLeft | BackRight;
    case 7: return FrontLeft | FrontRight | FrontCentre | LowFrequency | BackCentre | SideLeft | SideRight;
    case 8: return FrontLeft | FrontRight | FrontCentre | LowFrequency | BackLeft | BackRight | SideLeft | SideRight;
    default: return FrontLeft | FrontRight;
    }
}

int32_t le24(const uint8_t* p) {
    const int32_t v = p[0] | p[1] << 8 | p[2] << 16;
    return v & 0x800000 ? v - 0x1000000 : v;
}

// The file's samples, decoded, mixed down, resampled and requantised buffer by buffer.
class ForeignStream : public SampleStream {
public:
    ForeignStream(std::unique_ptr<SampleStream> raw, const SourceFormat& source, uint64_t maxBytes)
        : raw_(std::move(raw)), source_(source), target_(nearestFormat(source)),
          inputLeft_(raw_->size() / source.frameBytes()) {
        const uint64_t frame = target_.frameBytes();
        const uint64_t all = foreignOutputBytes(raw_->size(), source);
        size_ = std::min(all, maxBytes / frame * frame);
        if (source.channels > 2) gains_ = downmixGains(source.channels, source.channelMask);
        if (source.rate != target_.samplesPerSec)
            resampler_ = std::make_unique<Resampler>(source.rate, target_.samplesPerSec, target_.channels);
        raw8_.resize(blockFrames * source.frameBytes());
        decoded_.resize(blockFrames * source.channels);
        mixed_.resize(blockFrames * target_.channels);
    }

    uint64_t size() const override { return size_; }

    bool read(uint8_t* buffer, size_t n) override {
        if (n > size_ - done_) return false;
        while (n > 0) {
            if (at_ == pending_.size() && !refill()) return false;
            const size_t take = std::min(n, pending_.size() - at_);
            std::memcpy(buffer, pending_.data() + at_, take);
            buffer += take;
            at_ += take;
            n -= take;
            done_ += take;
        }
        return true;
    }

private:
    bool refill() {
        pending_.clear();
        at_ = 0;
        samples_.clear();
        const size_t frames = static_cast<size_t>(std::min<uint64_t>(blockFrames, inputLeft_));
        if (frames == 0 && (ended_ || !resampler_)) return false;
        if (frames > 0) {
            if (!raw_->read(raw8_.data(), frames * source_.frameBytes())) return false;
            inputLeft_ -= frames;
            decodeFrames(raw8_.data(), frames, source_, decoded_.data());
            const float* mixed = mix(frames);
            if (resampler_)
                resampler_->process(mixed, frames, samples_);
            else
                samples_.assign(mixed, mixed + frames * target_.channels);
        }
        if (inputLeft_ == 0 && resampler_ && !ended_) {
            resampler_->finish(samples_);
            ended_ = true;
        }
        quantize();
        return true;
    }

    const float* mix(size_t frames) {
        if (source_.channels <= 2) return decoded_.data();
        const unsigned c = source_.channels;
        for (size_t i = 0; i < frames; ++i) {
            float l = 0, r = 0;
            for (unsigned k = 0; k < c; ++k) {
                l += gains_.left[k] * decoded_[i * c + k];
                r += gains_.right[k] * decoded_[i * c + k];
            }
            mixed_[2 * i] = l;
            mixed_[2 * i + 1] = r;
        }
        return mixed_.data();
    }

    // Rounded to nearest (halves up) by truncating a sum that is never negative: as fast as
    // it gets, and the same wherever the program runs.
    void quantize() {
        if (target_.bitsPerSample == 8) {
            pending_.resize(samples_.size());
            for (size_t i = 0; i < samples_.size(); ++i)
                pending_[i] = static_cast<uint8_t>(std::clamp(samples_[i] * 128.0f + 128.0f, 0.0f, 255.0f) + 0.5f);
            return;
        }
        pending_.resize(samples_.size() * 2);
        uint8_t* p = pending_.data();
        for (float x : samples_) {
            const int s = static_cast<int>(std::clamp(x * 32768.0f, -32768.0f, 32767.0f) + 32768.5f) - 32768;
            p[0] = static_cast<uint8_t>(s);
            p[1] = static_cast<uint8_t>(static_cast<unsigned>(s) >> 8);
            p += 2;
        }
    }

    std::unique_ptr<SampleStream> raw_;
    SourceFormat source_;
    PcmFormat target_;
    uint64_t inputLeft_;  // whole frames not read yet
    uint64_t size_ = 0, done_ = 0;
    DownmixGains gains_;
    std::unique_ptr<Resampler> resampler_;
    bool ended_ = false;
    std::vector<uint8_t> raw8_;
    std::vector<float> decoded_, mixed_, samples_;
    std::vector<uint8_t> pending_;
    size_t at_ = 0;
};

}  // namespace

PcmFormat nearestFormat(const SourceFormat& source) {
    PcmFormat f;
    f.bitsPerSample = source.coding == SampleCoding::Integer && source.containerBits == 8 ? 8 : 16;
    f.channels = source.channels == 1 ? 1 : 2;
    f.samplesPerSec = ownRates[0];
    for (uint32_t rate : ownRates) {
        const auto distance = [&](uint32_t r) { return r > source.rate ? r - source.rate : source.rate - r; };
        if (distance(rate) <= distance(f.samplesPerSec)) f.samplesPerSec = rate;
    }
    return f;
}

PcmFormat openedFormat(const WaveInfo& info) {
    if (info.check == WaveCheck::Foreign) return nearestFormat(info.source);
    return PcmFormat{info.format.samplesPerSec, info.format.bitsPerSample, info.format.channels};
}

std::unique_ptr<SampleStream> openedSamples(std::unique_ptr<ByteSource> file, const WaveInfo& info,
                                            uint64_t maxBytes) {
    auto raw = std::make_unique<RangeStream>(std::move(file), info.dataOffset, info.dataSize);
    if (info.check != WaveCheck::Foreign) return raw;
    return foreignSamples(std::move(raw), info.source, maxBytes);
}

int16_t muLawToLinear(uint8_t code) {
    const int u = static_cast<uint8_t>(~code);
    const int t = (((u & 0x0F) << 3) + 0x84) << ((u & 0x70) >> 4);
    return static_cast<int16_t>(u & 0x80 ? 0x84 - t : t - 0x84);
}

int16_t aLawToLinear(uint8_t code) {
    const int a = code ^ 0x55;
    const int segment = (a & 0x70) >> 4;
    int t = (a & 0x0F) << 4;
    t += segment == 0 ? 8 : 0x108;
    if (segment > 1) t <<= segment - 1;
    return static_cast<int16_t>(a & 0x80 ? t : -t);
}

void decodeFrames(const uint8_t* in, size_t frames, const SourceFormat& s, float* out) {
    const size_t n = frames * s.channels;
    switch (s.coding) {
    case SampleCoding::MuLaw:
    case SampleCoding::ALaw: {
        float table[256];
        for (int c = 0; c < 256; ++c)
            table[c] = (s.coding == SampleCoding::MuLaw ? muLawToLinear(static_cast<uint8_t>(c))
                                                        : aLawToLinear(static_cast<uint8_t>(c))) / 32768.0f;
        for (size_t i = 0; i < n; ++i) out[i] = table[in[i]];
        return;
    }
    case SampleCoding::Float:
        for (size_t i = 0; i < n; ++i) {
            if (s.containerBits == 32) {
                float x;
                std::memcpy(&x, in + 4 * i, 4);
                out[i] = std::isfinite(x) ? x : 0.0f;
            } else {
                double d;
                std::memcpy(&d, in + 8 * i, 8);
                // Far past full scale clips all the same; the clamp would make infinity
                // full scale, so it comes after the check.
                out[i] = std::isfinite(d) ? static_cast<float>(std::clamp(d, -2.0, 2.0)) : 0.0f;
            }
        }
        return;
    case SampleCoding::Integer:
        switch (s.containerBits) {
        case 8:
            for (size_t i = 0; i < n; ++i) out[i] = (in[i] - 128) * (1.0f / 128);
            return;
        case 16:
            for (size_t i = 0; i < n; ++i) out[i] = static_cast<int16_t>(le16(in + 2 * i)) * (1.0f / 32768);
            return;
        case 24:
            for (size_t i = 0; i < n; ++i) out[i] = static_cast<float>(le24(in + 3 * i)) * (1.0f / 8388608);
            return;
        default:
            for (size_t i = 0; i < n; ++i) out[i] = static_cast<float>(static_cast<int32_t>(le32(in + 4 * i))) * (1.0f / 2147483648.0f);
            return;
        }
    }
}

DownmixGains downmixGains(uint16_t channels, uint32_t channelMask) {
    DownmixGains g;
    uint32_t mask = channelMask ? channelMask : usualLayout(channels);
    constexpr uint32_t leftFront = FrontLeft | FrontLeftOfCentre;
    constexpr uint32_t rightFront = FrontRight | FrontRightOfCentre;
    constexpr uint32_t leftSurround = BackLeft | SideLeft | TopFrontLeft | TopBackLeft;
    constexpr uint32_t rightSurround = BackRight | SideRight | TopFrontRight | TopBackRight;
    for (unsigned k = 0; k < channels && k < 8; ++k) {
        // The channels feed the speakers of the mask in the order of its bits; any past
        // them count as centre.
        const uint32_t speaker = mask ? mask & (~mask + 1) : FrontCentre;
        mask &= mask - 1;
        if (speaker & leftFront) {
            g.left[k] = 1.0f;
        } else if (speaker & rightFront) {
            g.right[k] = 1.0f;
        } else if (speaker & leftSurround) {
            g.left[k] = centreGain;
        } else if (speaker & rightSurround) {
            g.right[k] = centreGain;
        } else if (!(speaker & LowFrequency)) {
            g.left[k] = g.right[k] = centreGain;
        }
    }
    float leftSum = 0, rightSum = 0;
    for (unsigned k = 0; k < 8; ++k) {
        leftSum += g.left[k];
        rightSum += g.right[k];
    }
    const float sum = std::max(leftSum, rightSum);
    if (sum > 1.0f)
        for (unsigned k = 0; k < 8; ++k) {
            g.left[k] /= sum;
            g.right[k] /= sum;
        }
    return g;
}

uint64_t foreignOutputBytes(uint64_t inputBytes, const SourceFormat& source) {
    const PcmFormat target = nearestFormat(source);
    const uint64_t frames = inputBytes / source.frameBytes();
    const uint64_t out = source.rate == target.samplesPerSec
                             ? frames
                             : Resampler::outputFrames(frames, source.rate, target.samplesPerSec);
    return out * target.frameBytes();
}

std::unique_ptr<SampleStream> foreignSamples(std::unique_ptr<SampleStream> raw, const SourceFormat& source,
                                             uint64_t maxBytes) {
    try {
        return std::make_unique<ForeignStream>(std::move(raw), source, maxBytes);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::wstring describeSource(const SourceFormat& s) {
    std::wstring text;
    switch (s.coding) {
    case SampleCoding::Integer: text = std::to_wstring(s.containerBits) + L"bit"; break;
    case SampleCoding::Float: text = std::to_wstring(s.containerBits) + L"bit float"; break;
    case SampleCoding::MuLaw: text = L"\u03bc-law"; break;
    case SampleCoding::ALaw: text = L"A-law"; break;
    }
    text += L", " + std::to_wstring(s.rate) + L"Hz, ";
    text += s.channels == 1 ? L"mono" : s.channels == 2 ? L"stereo" : std::to_wstring(s.channels) + L"ch";
    return text;
}

std::wstring describeOwnFormat(const PcmFormat& f) {
    SourceFormat s;
    s.containerBits = f.bitsPerSample;
    s.rate = f.samplesPerSec;
    s.channels = f.channels;
    return describeSource(s);
}

OpenedSize openedSize(const WaveInfo& info) {
    if (info.check != WaveCheck::Foreign) return {info.dataSize, info.pastLimit};
    const uint64_t whole = foreignOutputBytes(info.dataSize, info.source);
    const uint64_t largest = largestDataSize(nearestFormat(info.source).frameBytes());
    return {std::min(whole, largest), whole > largest};
}
