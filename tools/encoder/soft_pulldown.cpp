#include "soft_pulldown.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace qf::encoder {
namespace {

constexpr int kFrameRateFilm = 1; // frame_rate_code of 24000/1001
constexpr int kFrameRateNtsc = 4; // 30000/1001

// Sequential reading with the offset of every byte.
class Reader {
public:
    explicit Reader(std::FILE* file) : file_(file), buffer_(1 << 20) {}

    int get()
    {
        if (at_ == size_) {
            size_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
            at_ = 0;
            if (size_ == 0)
                return -1;
        }
        ++offset_;
        return buffer_[at_++];
    }
    bool skip(long long count)
    {
        for (long long i = 0; i < count; ++i) {
            if (get() < 0)
                return false;
        }
        return true;
    }
    // The offset of the next byte get() returns.
    unsigned long long offset() const { return offset_; }
    bool failed() const { return std::ferror(file_) != 0; }

private:
    std::FILE* file_;
    std::vector<unsigned char> buffer_;
    std::size_t size_ = 0;
    std::size_t at_ = 0;
    unsigned long long offset_ = 0;
};

struct Patch {
    unsigned long long offset;
    unsigned char value;
};

// Finds the video headers in the elementary stream, byte by byte as the
// packets deliver it, and notes the flag edits.
class VideoScanner {
public:
    void feed(unsigned char byte, unsigned long long offset)
    {
        if (need_ > 0) {
            captured_.push_back({offset, byte});
            if (static_cast<int>(captured_.size()) == need_) {
                need_ = 0;
                header();
            }
        }
        if (zeros_ >= 2 && byte == 1) {
            zeros_ = 0;
            awaitingCode_ = true;
            return;
        }
        if (awaitingCode_) {
            awaitingCode_ = false;
            code_ = byte;
            captured_.clear();
            need_ = code_ == 0xB3 ? 4 : code_ == 0xB5 ? 5 : code_ == 0x00 ? 2 : 0;
            if (code_ == 0xB8) {
                gopBase_ += picturesInGop_;
                picturesInGop_ = 0;
            }
            zeros_ = 0; // the code byte itself starts nothing
            return;
        }
        zeros_ = byte == 0 ? zeros_ + 1 : 0;
    }

    const std::vector<Patch>& patches() const { return patches_; }
    const std::string& error() const { return error_; }
    long long pictures() const { return pictures_; }
    bool sawSequence() const { return sequences_ > 0; }

private:
    void header()
    {
        if (code_ == 0xB3) {
            // aspect_ratio_information (4) | frame_rate_code (4)
            auto [offset, value] = captured_[3];
            int rate = value & 0x0F;
            if (rate != kFrameRateFilm && rate != kFrameRateNtsc && error_.empty()) {
                error_ = "soft pulldown needs 24000/1001 video (frame_rate_code " + std::to_string(rate) + ")";
            }
            patch(offset, static_cast<unsigned char>((value & 0xF0) | kFrameRateNtsc));
            ++sequences_;
        } else if (code_ == 0x00) {
            temporalReference_ = (captured_[0].second << 2) | (captured_[1].second >> 6);
            ++picturesInGop_;
            ++pictures_;
        } else if (code_ == 0xB5) {
            int id = captured_[0].second >> 4;
            if (id == 1) {
                // Sequence extension: progressive_sequence is bit 3 of its second byte.
                auto [offset, value] = captured_[1];
                patch(offset, static_cast<unsigned char>(value & ~0x08));
            } else if (id == 8) {
                // Picture coding extension: top_field_first 0x80 and
                // repeat_first_field 0x02 of its fourth byte.
                auto [offset, value] = captured_[3];
                long long display = gopBase_ + temporalReference_;
                static constexpr unsigned char kPattern[4] = {0x82, 0x00, 0x02, 0x80};
                patch(offset, static_cast<unsigned char>((value & ~0x82) | kPattern[display % 4]));
                if ((captured_[4].second & 0x80) == 0 && error_.empty())
                    error_ = "the video holds interlaced pictures";
            }
        }
    }
    void patch(unsigned long long offset, unsigned char value) { patches_.push_back({offset, value}); }

    int zeros_ = 0;
    bool awaitingCode_ = false;
    int code_ = -1;
    int need_ = 0;
    std::vector<std::pair<unsigned long long, int>> captured_;
    long long gopBase_ = 0;
    long long picturesInGop_ = 0;
    long long temporalReference_ = 0;
    long long pictures_ = 0;
    long long sequences_ = 0;
    std::vector<Patch> patches_;
    std::string error_;
};

PulldownResult failure(std::string why)
{
    PulldownResult r;
    r.error = std::move(why);
    return r;
}

} // namespace

PulldownResult applySoftPulldown(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    if (file == nullptr)
        return failure("cannot open " + path + ": " + std::strerror(errno));
    Reader in(file);
    VideoScanner video;
    std::string error;
    int zeros = 0;
    for (;;) {
        int b = in.get();
        if (b < 0)
            break;
        // Packs start on a start code; anything between is skipped.
        if (zeros >= 2 && b == 1) {
            zeros = 0;
            int code = in.get();
            if (code < 0)
                break;
            if (code == 0xBA) {
                int first = in.get();
                if ((first & 0xC0) == 0x40) {
                    // MPEG-2 pack header: 10 bytes, stuffing in the low bits of the last.
                    if (!in.skip(8))
                        break;
                    int last = in.get();
                    if (last < 0 || !in.skip(last & 7))
                        break;
                } else if (!in.skip(7)) {
                    break;
                }
                continue;
            }
            if (code < 0xBB)
                continue; // end code, or a stray video code outside a packet
            int hi = in.get();
            int lo = in.get();
            if (lo < 0)
                break;
            long long length = (hi << 8) | lo;
            if (code < 0xE0 || code > 0xEF) {
                if (!in.skip(length))
                    break;
                continue;
            }
            // A video packet: its header, then the payload goes to the scanner.
            long long header = 0;
            int flags = in.get();
            ++header;
            if ((flags & 0xC0) == 0x80) {
                in.get();
                int headerLength = in.get();
                header += 2;
                if (headerLength < 0 || !in.skip(headerLength))
                    break;
                header += headerLength;
            } else {
                // MPEG-1 packet header: stuffing, buffer size, time stamps.
                while (flags == 0xFF && header < length) {
                    flags = in.get();
                    ++header;
                }
                if ((flags & 0xC0) == 0x40) {
                    in.get();
                    flags = in.get();
                    header += 2;
                }
                int stamps = (flags & 0xF0) == 0x20 ? 4 : (flags & 0xF0) == 0x30 ? 9 : 0;
                if (!in.skip(stamps))
                    break;
                header += stamps;
            }
            for (long long i = header; i < length; ++i) {
                unsigned long long offset = in.offset();
                int byte = in.get();
                if (byte < 0)
                    break;
                video.feed(static_cast<unsigned char>(byte), offset);
            }
            continue;
        }
        zeros = b == 0 ? zeros + 1 : 0;
    }
    if (in.failed())
        error = "cannot read " + path;
    if (error.empty())
        error = video.error();
    if (error.empty() && !video.sawSequence())
        error = path + " holds no MPEG video sequence";
    if (!error.empty()) {
        std::fclose(file);
        return failure(error);
    }
    for (const Patch& p : video.patches()) {
        if (std::fseek(file, static_cast<long>(p.offset), SEEK_SET) != 0 || std::fputc(p.value, file) == EOF) {
            std::fclose(file);
            return failure("cannot write " + path);
        }
    }
    if (std::fclose(file) != 0)
        return failure("cannot write " + path);
    PulldownResult r;
    r.ok = true;
    r.pictures = video.pictures();
    return r;
}

} // namespace qf::encoder
