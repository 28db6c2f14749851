#include "core/sound/sample_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/sound/conversion.h"

RangeStream::RangeStream(ByteSource& source, uint64_t offset, uint64_t size)
    : source_(source), offset_(offset), size_(size) {}

RangeStream::RangeStream(std::unique_ptr<ByteSource> owned, uint64_t offset, uint64_t size)
    : owned_(std::move(owned)), source_(*owned_), offset_(offset), size_(size) {}

bool RangeStream::read(uint8_t* buffer, size_t n) {
    if (n > size_ - done_ || !source_.readAt(offset_ + done_, buffer, n)) return false;
    done_ += n;
    return true;
}

TransformedStream::TransformedStream(std::unique_ptr<SampleStream> input, uint32_t inputFrameBytes,
                                     std::unique_ptr<SoundTransform> transform, size_t bufferBytes)
    : input_(std::move(input)), transform_(std::move(transform)) {
    const uint64_t total = input_->size();
    const uint32_t frame = std::max<uint32_t>(inputFrameBytes, 1);
    size_ = transform_->outputSize(total);
    wholeFrameBytes_ = total - total % frame;
    bufferBytes_ = wholeFrameBufferBytes(bufferBytes, frame);
}

bool TransformedStream::refill() {
    const uint64_t total = input_->size();
    if (fed_ == total) return false;
    // Whole frames while there are any; then the partial frame on its own.
    const uint64_t end = fed_ < wholeFrameBytes_ ? wholeFrameBytes_ : total;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(bufferBytes_, end - fed_));
    in_.resize(n);
    if (!input_->read(in_.data(), n)) return false;
    fed_ += n;
    out_.clear();
    outAt_ = 0;
    transform_->process(in_.data(), n, out_);
    if (fed_ == total) transform_->finish(out_);
    return true;
}

bool TransformedStream::read(uint8_t* buffer, size_t n) {
    while (n > 0) {
        if (outAt_ == out_.size() && !refill()) return false;
        const size_t k = std::min(n, out_.size() - outAt_);
        std::memcpy(buffer, out_.data() + outAt_, k);
        outAt_ += k;
        buffer += k;
        n -= k;
    }
    return true;
}

namespace {
class OwnedFileSource : public FileByteSource {
public:
    explicit OwnedFileSource(std::FILE* file) : FileByteSource(file), file_(file) {}
    ~OwnedFileSource() override { std::fclose(file_); }

private:
    std::FILE* file_;
};
}  // namespace

std::unique_ptr<ByteSource> openFileSource(const std::filesystem::path& path) {
    std::FILE* file = openFile(path, "rb");
    if (!file) return nullptr;
    return std::make_unique<OwnedFileSource>(file);
}

std::unique_ptr<SampleStream> samplesInFormat(std::unique_ptr<SampleStream> samples, const PcmFormat& from,
                                              const PcmFormat& to) {
    if (from == to) return samples;
    try {
        std::unique_ptr<SoundTransform> conversion = makeConversion(from, to);
        if (!conversion) return nullptr;
        return std::make_unique<TransformedStream>(std::move(samples), from.frameBytes(), std::move(conversion),
                                                   conversionBufferBytes(from, to));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool copySamples(SampleStream& samples, std::FILE* out, const Progress& progress) {
    std::vector<uint8_t> buffer(1 << 20);
    const uint64_t total = samples.size();
    for (uint64_t done = 0; done < total;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(total - done, buffer.size()));
        if (!samples.read(buffer.data(), n) || std::fwrite(buffer.data(), 1, n, out) != n) return false;
        done += n;
        if (progress && !progress(done, total)) return false;
    }
    return true;
}
