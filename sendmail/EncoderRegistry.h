// The process-wide set of part encoders, looked up by part code.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "sendmail/PartEncoder.h"

namespace tarnwick::sendmail {

// An ordered collection of encoders that it owns. One lock guards it: each
// registration and lookup holds it for its own duration, and so does the
// destruction of the encoders.
class EncoderRegistry {
public:
    EncoderRegistry() = default;
    ~EncoderRegistry();
    EncoderRegistry(const EncoderRegistry&) = delete;
    EncoderRegistry& operator=(const EncoderRegistry&) = delete;

    // Appends encoder and takes it over; a null encoder is ignored.
    void Register(std::unique_ptr<PartEncoder> encoder);
    // The first registered encoder with that code, or null. The encoder
    // stays valid as long as the registry.
    const PartEncoder* Find(int code) const;
    std::size_t Size() const;

private:
    mutable std::mutex lock_;
    std::vector<std::unique_ptr<PartEncoder>> encoders_;
};

// The registry of the process: made on first use, its encoders deleted when
// the module is unloaded.
EncoderRegistry& ProcessEncoderRegistry();

// Registers a TextPartEncoder (code 0, lines of width bytes) and an
// AttachmentEncoder (code 1), in that order, with the process registry.
// Only the first call does so: lookups always find the first encoder of a
// code, so a pair per message would only make the registry grow.
void RegisterStandardEncoders(int width);

}  // namespace tarnwick::sendmail
