// The configuration work of one device report, against the floor of a device connecting:
// one RSA-2048 signature (the server's part of a TLS handshake). The goal is that the
// configuration work costs at most a tenth of the signature.
//
//   BM_FullSnapshot          parse a compressed 500-line whole-configuration message and
//                            make it the device's stored text
//   BM_FullSnapshotColdKeys  the same with the per-key category decisions forgotten first
//                            (the first device of a run, or keys never seen before)
//   BM_CategoryUpdate        parse a compressed application-mode message and replace that
//                            category in the 500-line stored text
//   BM_Rsa2048Sign           one RSA-2048 SHA-256 signature
//
// At the end the ratio of each configuration benchmark to the signature is printed.

#include "categories.h"
#include "configlib.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>

namespace {

constexpr int kLines = 500;

struct Fixture
{
    QByteArray stored;          // a device's stored configuration text, 500 lines
    QByteArray fullMessage;     // the same as a compressed whole-configuration message
    QByteArray categoryMessage; // its application-mode lines as a compressed message

    Fixture()
    {
        config_store_reset_for_testing(QStringLiteral("/nonexistent/environment"),
                                       QStringLiteral("/nonexistent/timezone"));
        config_store_load_text("description=reception desk, building 2\nbrd_hostname=zyl-0042\n"
                               "connection_type=rdp\nrdp_server=ts01.example.net\n",
                               CATEGORY_ALL);
        stored = config_store_collect(CATEGORY_ALL).value_or(QByteArray());
        int lines = stored.count('\n');
        for (int i = 0; lines < kLines; ++i, ++lines)
            stored += "usb_redir_dev" + QByteArray::number(i) + "=0x0781:0x" +
                      QByteArray::number(0x5567 + i, 16) + '\n';
        if (stored.count('\n') != kLines)
            throw std::runtime_error("the default configuration has more than 500 lines");
        fullMessage = config_message_build_text(stored, CATEGORY_ALL, true).value_or(QByteArray());
        categoryMessage = config_message_build(18, false, true).value_or(QByteArray());
        if (fullMessage.isEmpty() || fullMessage.at(1) != 1 || categoryMessage.isEmpty())
            throw std::runtime_error("could not build the messages");
    }
};

const Fixture& fixture()
{
    static const Fixture f;
    return f;
}

void BM_FullSnapshot(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state) {
        std::optional<QByteArray> text = config_message_parse(f.fullMessage);
        std::optional<QByteArray> merged = config_text_replace_category(f.stored, *text, CATEGORY_ALL);
        benchmark::DoNotOptimize(merged);
    }
    state.SetLabel(std::to_string(f.fullMessage.size()) + " bytes compressed");
}
BENCHMARK(BM_FullSnapshot);

void BM_FullSnapshotColdKeys(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state) {
        configcat::clearCache();
        std::optional<QByteArray> text = config_message_parse(f.fullMessage);
        std::optional<QByteArray> merged = config_text_replace_category(f.stored, *text, CATEGORY_ALL);
        benchmark::DoNotOptimize(merged);
    }
}
BENCHMARK(BM_FullSnapshotColdKeys);

void BM_CategoryUpdate(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state) {
        std::optional<QByteArray> text = config_message_parse(f.categoryMessage);
        std::optional<QByteArray> merged = config_text_replace_category(f.stored, *text, 18);
        benchmark::DoNotOptimize(merged);
    }
}
BENCHMARK(BM_CategoryUpdate);

struct RsaKey
{
    EVP_PKEY* key = nullptr;
    RsaKey()
    {
        EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_id(EVP_PKEY_RSA, nullptr);
        if (!ctx || EVP_PKEY_keygen_init(ctx) <= 0 || EVP_PKEY_CTX_set_rsa_keygen_bits(ctx, 2048) <= 0 ||
            EVP_PKEY_keygen(ctx, &key) <= 0)
            throw std::runtime_error("RSA key generation failed");
        EVP_PKEY_CTX_free(ctx);
    }
    ~RsaKey() { EVP_PKEY_free(key); }
};

void BM_Rsa2048Sign(benchmark::State& state)
{
    static const RsaKey rsa;
    const unsigned char transcript[64] = {1, 2, 3, 4, 5, 6, 7, 8};
    unsigned char signature[512];
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    for (auto _ : state) {
        size_t length = sizeof signature;
        if (EVP_DigestSignInit(md, nullptr, EVP_sha256(), nullptr, rsa.key) <= 0 ||
            EVP_DigestSign(md, signature, &length, transcript, sizeof transcript) <= 0) {
            state.SkipWithError("signing failed");
            break;
        }
        benchmark::DoNotOptimize(signature);
    }
    EVP_MD_CTX_free(md);
}
BENCHMARK(BM_Rsa2048Sign);

// The console output, followed by each configuration benchmark as a share of the signature.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    // CPU time (a shared machine preempts the benchmark now and then); the median of the
    // repetitions when there are several.
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            const double ns = run.GetAdjustedCPUTime() *
                              benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                              benchmark::GetTimeUnitMultiplier(run.time_unit);
            const std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                m_median[name] = ns;
            else if (run.run_type == Run::RT_Iteration)
                m_single[name] = ns;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::map<std::string, double> times = m_single;
        for (const auto& [name, ns] : m_median)
            times[name] = ns;
        const auto sign = times.find("BM_Rsa2048Sign");
        if (sign == times.end() || sign->second <= 0)
            return;
        std::printf("\nShare of one RSA-2048 signature, CPU time (goal: at most 10%%):\n");
        for (const auto& [name, ns] : times) {
            if (name == sign->first)
                continue;
            const char* verdict = ns * 10 <= sign->second ? "" : "  ABOVE GOAL";
            if (name.find("ColdKeys") != std::string::npos)
                verdict = "  (once per new key; not subject to the goal)";
            std::printf("  %-26s %6.2f%%%s\n", name.c_str(), 100.0 * ns / sign->second, verdict);
        }
    }

private:
    std::map<std::string, double> m_single;
    std::map<std::string, double> m_median;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
