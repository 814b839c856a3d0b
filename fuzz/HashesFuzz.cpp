// The "Hashes.ini" reader over any bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSeeds.h"
#include "workspace/HashNames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto table = brenzo::workspace::HashTable::Parse({data, size});
    for (std::uint32_t hash : {0u, 1u, 31u, 4294967295u}) (void)table.Find(hash);
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    auto bytes = [](const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
    std::vector<std::vector<std::uint8_t>> seeds;
    seeds.push_back(bytes("[Hashes]\r\n31=engine_idle\r\n4294967295 = \"quoted name\" \r\n[Other]\r\n1=x\r\n"));
    seeds.push_back(bytes("\xEF\xBB\xBF[hashes]\n1='single'\n1=second\n  [ HASHES ]\n2=later section\n"));
    std::vector<std::uint8_t> utf16 = {0xFF, 0xFE};
    for (char c : std::string("[Hashes]\r\n7=seven\r\n")) {
        utf16.push_back(static_cast<std::uint8_t>(c));
        utf16.push_back(0);
    }
    seeds.push_back(utf16);
    return seeds;
}
