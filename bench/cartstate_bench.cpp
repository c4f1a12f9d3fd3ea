// CartState load and lookup on a realistic store page, and the engine's
// base64 decoder beside OpenSSL's on the same input.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

#include "state/base64.h"
#include "state/cartstate.h"
#include "store_page_blob.h"

namespace {

const std::string& StorePageText() {
    static const std::string text = zun::testing::EncodeBase64(zun::bench::StorePageBlob());
    return text;
}

// A long input too, where per-call costs no longer count.
const std::string& LongText() {
    static const std::string text = [] {
        zun::testing::Bytes bytes(1 << 20);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
        return zun::testing::EncodeBase64(bytes);
    }();
    return text;
}

void SetCartStateAndGetValues(benchmark::State& state) {
    const std::string& text = StorePageText();
    zun::CartState cart;
    char out[256];
    for (auto _ : state) {
        benchmark::DoNotOptimize(cart.SetCartState(text.c_str()));
        benchmark::DoNotOptimize(cart.GetValue("PAGENAME", out, 50));
        benchmark::DoNotOptimize(cart.GetValue("_Order.Status", out, 10));
        benchmark::DoNotOptimize(cart.GetValue("_Shopper.ShippingCompany", out, 256));
        benchmark::DoNotOptimize(cart.GetValue("NOSUCHKEY", out, 256));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["blob_bytes"] = static_cast<double>(zun::bench::StorePageBlob().size());
}
BENCHMARK(SetCartStateAndGetValues);

void EngineDecode(benchmark::State& state, const std::string& text) {
    std::vector<uint8_t> out(text.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(zun::DecodeBase64(text.c_str(), out.data(), out.size(), nullptr));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void OpenSslDecode(benchmark::State& state, const std::string& text) {
    std::vector<uint8_t> out(text.size());
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    for (auto _ : state) {
        benchmark::DoNotOptimize(EVP_DecodeBlock(out.data(), in, static_cast<int>(text.size())));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

BENCHMARK_CAPTURE(EngineDecode, store_page, StorePageText());
BENCHMARK_CAPTURE(OpenSslDecode, store_page, StorePageText());
BENCHMARK_CAPTURE(EngineDecode, one_mebibyte, LongText());
BENCHMARK_CAPTURE(OpenSslDecode, one_mebibyte, LongText());

}  // namespace
