#pragma once

// The agent handshake inside the TLS channel. The agent speaks first with a 51-byte
// greeting "identifier::proof" (NUL-padded); the server checks the proof, answers with its
// own 32-byte proof and then a welcome message carrying its date, time and version.
// Plain functions shared by the listener and the agent simulator.

#include <QByteArray>
#include <QDate>

#include <optional>

namespace handshake {

constexpr int GreetingSize = 51;
constexpr int ProofSize = 32;

// The two shared tokens compiled into the server and the agent.
QByteArray deviceToken();
QByteArray serverToken();

// MD5 digest of the bytes as 32 lowercase hexadecimal digits.
QByteArray md5Hex(const QByteArray& text);

// The proof an agent presents for its identifier: the first six ":"-separated fields of the
// identifier in alternating case (lower, upper, lower, ...), each followed by ":", then the
// device token, digested. Nothing when the identifier has fewer than six fields.
std::optional<QByteArray> agentProof(const QByteArray& identifier);
// The proof the server answers with: the identifier exactly as received, then the server
// token, digested.
QByteArray serverProof(const QByteArray& identifier);

// The 51 bytes an agent sends: identifier, "::", proof, NUL-padded (cut at 51 bytes).
QByteArray greeting(const QByteArray& identifier, const QByteArray& proof);
// Checks a received greeting (exactly the 51 bytes read). Returns the identifier when the
// greeting has exactly one "::" and its proof matches (case-sensitively); nothing otherwise.
std::optional<QByteArray> checkGreeting(const QByteArray& received);

// The welcome message: type 5, code 2, 16-bit length, lp-strings month, day and year of the
// given local date (decimal, no leading zeros), lp-string version, then the Unix time as an
// unsigned 32-bit number.
QByteArray welcomeMessage(const QDate& localDate, quint32 unixTime, const QByteArray& version);

} // namespace handshake
