// Where a status reply ends, as its bytes arrive in pieces: the serial rule
// and the TCP rule, without any I/O, so that both can be fed any bytes in any
// pieces. The TCP link feeds TcpReplyCollector its reads; the serial link's
// collector (DeviceLink::Impl::CollectReply) applies the rule of
// CollectSerialReply to its port's bytes.
#pragma once

#include "Framing.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qvc {

// The serial collector: stores `piece` in `buffer` from `position` on. The
// reply is complete at the first '#' at an index of `expected` or more that
// follows CR LF; `position` goes back to 0 and the rest of the piece is
// ignored. A reply that fills the buffer without ending is not stored further.
// True when the reply completed in this piece.
inline bool CollectSerialReply(std::span<std::uint8_t> buffer, std::size_t& position,
                               std::size_t expected, std::span<const std::uint8_t> piece) {
    for (const std::uint8_t byte : piece) {
        if (position >= buffer.size()) {
            return false;
        }
        const std::size_t p = position;
        buffer[p] = byte;
        if (byte == kPrompt && p >= expected && p >= 2 && buffer[p - 1] == kLf &&
            buffer[p - 2] == kCr) {
            position = 0;
            return true;
        }
        ++position;
    }
    return false;
}

// The TCP collector: the reads of one reply, kept in order, and its end. The
// reply is complete at the first '#' that follows the whole payload, that is
// at an index (counted from the first byte of the reply) of SOH + 2 +
// `expected` or more; a '#' before that is data. When the first 30 bytes hold
// no SOH the reply cannot be parsed, and it ends at the first '#' at an index
// of 30 and of `expected` or more, so that its parse error shows without a
// wait. However many reads the reply comes in, at most `capacity` bytes are
// taken: a reply that needs more fails. (The link bounds the time instead.)
class TcpReplyCollector {
  public:
    explicit TcpReplyCollector(std::size_t expected, std::size_t capacity = kReceiveBufferSize)
        : expected_(expected), capacity_(capacity) {}

    // Whether another read is wanted: the reply has neither ended nor failed.
    bool WantsMore() const { return !complete_ && !failed_; }

    // Takes the bytes of one read (a read of 0 bytes ends the reply, unended).
    void Add(std::span<const std::uint8_t> read) {
        if (!WantsMore()) {
            return;
        }
        if (read.empty() || bytes_.size() + read.size() > capacity_) {
            failed_ = true;
            return;
        }
        for (const std::uint8_t byte : read) {
            const std::size_t p = bytes_.size();
            bytes_.push_back(byte);
            if (complete_) {
                continue; // the rest of the read is kept
            }
            if (soh_ == kNoSoh && p < kSohWindow && byte == kSoh) {
                soh_ = p;
            }
            if (byte == kPrompt && p >= EndFrom()) {
                complete_ = true;
                end_ = p + 1;
            }
        }
    }

    // The reply cannot end in time: it fails, whatever comes later.
    void Abandon() { failed_ = failed_ || !complete_; }

    // The reply ended within the reads it was given.
    bool Complete() const { return complete_ && !failed_; }
    // Every byte read, joined in the order of the reads (also after the end).
    std::span<const std::uint8_t> Bytes() const { return bytes_; }
    // The reply itself: its bytes up to and including the '#' that ended it
    // (empty until then).
    std::span<const std::uint8_t> Reply() const {
        return std::span<const std::uint8_t>(bytes_).first(Complete() ? end_ : 0);
    }

  private:
    // The first index at which a '#' ends the reply, as far as is known now.
    std::size_t EndFrom() const {
        if (soh_ != kNoSoh) {
            return PayloadStart(soh_) + expected_;
        }
        return std::max(kSohWindow, expected_);
    }

    std::size_t expected_;
    std::size_t capacity_;
    std::vector<std::uint8_t> bytes_;
    // Where the SOH is, once it has come (a plain value: GCC's optimiser
    // takes an optional's payload here for uninitialised).
    static constexpr std::size_t kNoSoh = static_cast<std::size_t>(-1);
    std::size_t soh_ = kNoSoh;
    std::size_t end_ = 0;
    bool complete_ = false;
    bool failed_ = false;
};

// The answer to a line forwarded for another controller, as its bytes arrive
// in pieces: for a command (and a bare CR) everything up to and including the
// first '#'; for a status query (an expected payload length of 0 or more) the
// framed reply up to and including the '#' that ends it, by the TCP rule
// above. Empty pieces are no answer and change nothing; the caller bounds
// the time. Bytes after the end belong to no answer and are not kept.
class AnswerCollector {
  public:
    static constexpr int kCommand = -1;
    explicit AnswerCollector(int expectedLength, std::size_t capacity = kReceiveBufferSize)
        : query_(expectedLength >= 0),
          reply_(static_cast<std::size_t>(std::max(expectedLength, 0)), capacity),
          capacity_(capacity) {}

    bool WantsMore() const { return query_ ? reply_.WantsMore() : !complete_ && !failed_; }

    void Add(std::span<const std::uint8_t> piece) {
        if (piece.empty() || !WantsMore()) {
            return;
        }
        if (query_) {
            reply_.Add(piece);
            return;
        }
        for (const std::uint8_t byte : piece) {
            if (bytes_.size() >= capacity_) {
                failed_ = true;
                return;
            }
            bytes_.push_back(byte);
            if (byte == kPrompt) {
                complete_ = true;
                return;
            }
        }
    }

    bool Complete() const { return query_ ? reply_.Complete() : complete_ && !failed_; }
    // The whole answer once complete; empty before.
    std::span<const std::uint8_t> Answer() const {
        if (query_) {
            return reply_.Reply();
        }
        return Complete() ? std::span<const std::uint8_t>(bytes_) : std::span<const std::uint8_t>();
    }

  private:
    bool query_;
    TcpReplyCollector reply_;
    std::size_t capacity_;
    std::vector<std::uint8_t> bytes_;
    bool complete_ = false;
    bool failed_ = false;
};

} // namespace qvc
