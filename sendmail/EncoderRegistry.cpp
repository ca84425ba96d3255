#include "sendmail/EncoderRegistry.h"

#include <utility>

namespace tarnwick::sendmail {

EncoderRegistry::~EncoderRegistry() {
    std::lock_guard<std::mutex> hold(lock_);
    encoders_.clear();
}

void EncoderRegistry::Register(std::unique_ptr<PartEncoder> encoder) {
    if (!encoder) return;
    std::lock_guard<std::mutex> hold(lock_);
    encoders_.push_back(std::move(encoder));
}

const PartEncoder* EncoderRegistry::Find(int code) const {
    std::lock_guard<std::mutex> hold(lock_);
    for (const auto& encoder : encoders_)
        if (encoder->Code() == code) return encoder.get();
    return nullptr;
}

std::size_t EncoderRegistry::Size() const {
    std::lock_guard<std::mutex> hold(lock_);
    return encoders_.size();
}

EncoderRegistry& ProcessEncoderRegistry() {
    static EncoderRegistry registry;
    return registry;
}

void RegisterStandardEncoders(int width) {
    // Every message would register an identical pair, and lookups only ever
    // find the first one, so the pair is registered once per process (the
    // static's initialisation runs exactly once, also under threads).
    static const bool registered = [width] {
        EncoderRegistry& registry = ProcessEncoderRegistry();
        registry.Register(std::make_unique<TextPartEncoder>(width));
        registry.Register(std::make_unique<AttachmentEncoder>());
        return true;
    }();
    (void)registered;
}

}  // namespace tarnwick::sendmail
