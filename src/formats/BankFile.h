#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "common/Bytes.h"
#include "common/Result.h"
#include "formats/BankModel.h"
#include "formats/ImagePlan.h"

namespace brenzo::formats {

// Told the sound's index and the sound count before each info record is read.
using BankProgress = std::function<void(std::uint32_t index, std::uint32_t count)>;

struct BankRead {
    TBankAudio bank;
    // Why the file is not whole (empty when it is): counts the image cannot hold, records
    // past its end. Such a bank is listed as far as it can be read but never rebuilt.
    std::vector<std::string> damage;
};

// Parses a sound bank. Lenient: fields past the end read as zero; counts are capped by what
// the image can hold, so no allocation follows an unchecked count.
BankRead ReadBank(std::span<const std::uint8_t> image, BankKind kind, const BankProgress& progress = {});

// The length of a sound's info record in the given form.
std::uint32_t RecordLength(RecordForm form, const TBankChannelInfo& info);

// Recomputes every offset and size of the bank from its records, sample sizes and animation
// sizes: the directory Offset and Size, the info Offset, Size2 (and StatesCount from States),
// the animation Offset, HeaderSize and HeaderFullSize. Refuses a bank of 4 GiB or more.
Status LayoutBank(TBankAudio& bank, BankKind kind, RecordForm form);

// Where a sound's bytes come from when a bank is written.
struct BankSources {
    std::vector<std::span<const std::uint8_t>> samples;     // one per sound, Size bytes each
    std::vector<std::span<const std::uint8_t>> animations;  // kind 0: one per entry, Size bytes each
};

// Lays out the whole file from a laid-out model into `plan`, which points at the sources'
// bytes (they must outlive it). Every record is written in `form`.
Status WriteBankPlan(const TBankAudio& bank, BankKind kind, RecordForm form, const BankSources& sources,
                     ImagePlan& plan);

// The same file in one buffer.
Result<Bytes> WriteBank(const TBankAudio& bank, BankKind kind, RecordForm form, const BankSources& sources);

// Checks that a loaded bank can be rebuilt faithfully: every record, sound and animation
// block lies inside the image where the directory says, each directory Size equals its record's
// length, and (plain banks) every sound shares the first sound's Compression, 1 or 1024.
Status CheckRebuildable(const TBankAudio& bank, BankKind kind, std::span<const std::uint8_t> image);

}  // namespace brenzo::formats
