// assetgen OUTDIR [ASSET_PATH...]: writes every asset of the show's tree (or only
// the named ones, which may also be the packages' icons) below OUTDIR. Entries are independent, so two worker threads share the
// list; each writer builds its file from fixed seeds, so every run gives the same bytes.
#include "tools/assetgen/asset_registry.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: assetgen OUTDIR [ASSET_PATH...]\n");
        return 2;
    }
    const fs::path outDir = argv[1];

    // Music first: the tracks are the longest jobs, so they start at once.
    std::vector<AssetEntry> all = musicAssets();
    for (AssetEntry& e : visualAssets())
        all.push_back(std::move(e));

    const size_t treeSize = all.size();
    for (AssetEntry& e : packageAssets())
        all.push_back(std::move(e));

    std::vector<const AssetEntry*> chosen;
    if (argc == 2) {
        for (size_t i = 0; i < treeSize; ++i)
            chosen.push_back(&all[i]);
    } else {
        for (int a = 2; a < argc; ++a) {
            const std::string want = fs::path(argv[a]).lexically_normal().generic_string();
            const AssetEntry* hit = nullptr;
            for (const AssetEntry& e : all)
                if (e.path == want)
                    hit = &e;
            if (!hit) {
                std::fprintf(stderr, "assetgen: no asset named %s\n", argv[a]);
                return 2;
            }
            chosen.push_back(hit);
        }
    }

    std::error_code ec;
    for (const AssetEntry* e : chosen) {
        fs::create_directories((outDir / e->path).parent_path(), ec);
        if (ec) {
            std::fprintf(stderr, "assetgen: cannot create the folder of %s: %s\n", e->path.c_str(),
                         ec.message().c_str());
            return 1;
        }
    }

    // The longest jobs come first, so a simple shared counter balances well.
    std::atomic<size_t> next{0};
    std::atomic<int> failures{0};
    auto worker = [&]() {
        for (size_t i = next++; i < chosen.size(); i = next++) {
            const AssetEntry& e = *chosen[i];
            const std::string full = (outDir / e.path).string();
            if (!e.write(full)) {
                std::fprintf(stderr, "assetgen: failed to write %s\n", full.c_str());
                ++failures;
            }
        }
    };
    std::thread second(worker);
    worker();
    second.join();

    if (failures > 0)
        return 1;
    std::printf("assetgen: %zu files in %s\n", chosen.size(), outDir.string().c_str());
    return 0;
}
