// The greeting an agent sends first inside the TLS channel, and the welcome that follows.

#include "fuzzcheck.h"
#include "handshake.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray received = fuzz::bytes(data, size);
    const std::optional<QByteArray> identifier = handshake::checkGreeting(received);
    if (identifier) {
        // Only a greeting whose proof is the agent's proof for that identifier passes, so the
        // identifier must have the six fields the proof is made of.
        const std::optional<QByteArray> proof = handshake::agentProof(*identifier);
        FUZZ_CHECK(proof.has_value());
        FUZZ_CHECK(received.contains(*proof));
        handshake::serverProof(*identifier);
    }
    // The building side with arbitrary parts must not misbehave either.
    const int half = received.size() / 2;
    const QByteArray built = handshake::greeting(received.left(half), received.mid(half));
    FUZZ_CHECK(built.size() == handshake::GreetingSize);
    handshake::agentProof(received);
    return 0;
}
