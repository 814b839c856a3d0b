#include "formats/BankFile.h"

#include <algorithm>
#include <string>

#include "common/ByteReader.h"
#include "common/ByteWriter.h"
#include "formats/Layout.h"

namespace brenzo::formats {
namespace {

std::uint32_t readDirectoryCount(std::span<const std::uint8_t> image, std::uint32_t claimed,
                                 std::vector<std::string>& damage) {
    std::uint64_t room =
        image.size() > kBankFixedHeaderSize ? (image.size() - kBankFixedHeaderSize) / kDirectoryEntrySize : 0;
    if (claimed <= room) return claimed;
    damage.push_back("the file says it holds " + std::to_string(claimed) + " sounds but has room for " +
                     std::to_string(room));
    return static_cast<std::uint32_t>(room);
}

}  // namespace

BankRead ReadBank(std::span<const std::uint8_t> image, BankKind kind, const BankProgress& progress) {
    BankRead result;
    TBankAudio& bank = result.bank;
    ByteReader r(image);
    r.seek(8);
    bank.HeaderSize = r.u32();
    r.seek(16);
    const std::uint32_t claimed = r.u32();
    r.seek(24);
    bank.HeaderFullSize = r.u32();
    if (image.size() < kBankFixedHeaderSize) result.damage.push_back("its header is cut short");
    bank.AudioCount = readDirectoryCount(image, claimed, result.damage);

    // The count was cut to the entries the file holds: each is read straight from the image.
    bank.BanksHeadInfo.resize(bank.AudioCount);
    const std::uint8_t* entryAt = image.data() + kBankFixedHeaderSize;
    for (auto& entry : bank.BanksHeadInfo) {
        entry.Offset = loadU32(entryAt);
        entry.Hash = loadU32(entryAt + 8);
        entry.Size = loadU32(entryAt + 12);
        entryAt += kDirectoryEntrySize;
    }

    // Every stored state takes 3 bytes of the image; a file cannot hold more states than that,
    // however many records point at the same bytes.
    std::uint64_t stateBudget = image.size() / codec::kStoredStateBytes;
    const std::uint64_t infoBase = InfoBase(bank.AudioCount);
    bank.BanksInfo.resize(bank.AudioCount);
    // The first note of each kind is spelled out and the rest counted: a damaged directory can
    // point thousands of records past the end.
    std::uint32_t overclaims = 0, shortRecords = 0;
    for (std::uint32_t i = 0; i < bank.AudioCount; ++i) {
        if (progress) progress(i, bank.AudioCount);
        TBankChannelInfo& info = bank.BanksInfo[i];
        const std::uint64_t at = infoBase + bank.BanksHeadInfo[i].Offset;
        r.seek(static_cast<std::size_t>(std::min<std::uint64_t>(at, SIZE_MAX)));
        info.Offset = r.u32();
        r.skip(8);
        info.Size = r.u32();
        info.Size2 = r.u32();
        info.iUnknown = r.i32();
        info.Frequency = r.u16();
        info.wUnknown = r.u16();
        info.Compression = r.u32();
        if (kind == BankKind::WithAnimations || info.Compression == kCompressionAdpcm) {
            info.OffsetStates = r.i64();
            info.Samples = r.u32();
            info._wFA = r.i64();
            info.StatesCount = r.u32();
            std::uint64_t fit = std::min<std::uint64_t>(r.remaining() / 3, stateBudget);
            if (info.StatesCount > fit) {
                if (overclaims++ == 0)
                    result.damage.push_back("sound " + std::to_string(i) + " claims " +
                                            std::to_string(info.StatesCount) + " states that the file does not hold");
                info.StatesCount = static_cast<std::uint32_t>(fit);
            }
            stateBudget -= info.StatesCount;
            // Cut above to the states that follow in the file: read straight from the image.
            info.States.resize(info.StatesCount);
            if (info.StatesCount != 0) {
                const std::uint8_t* state = image.data() + r.pos();
                for (auto& s : info.States) {
                    s.valprev = loadI16(state);
                    s.index = state[2];
                    state += codec::kStoredStateBytes;
                }
                r.skip(std::size_t{info.StatesCount} * codec::kStoredStateBytes);
            }
        }
        if (r.ranShort()) {
            if (shortRecords++ == 0)
                result.damage.push_back("the record of sound " + std::to_string(i) + " runs past the end of the file");
            r = ByteReader(image);
        }
    }
    if (overclaims > 1)
        result.damage.push_back(std::to_string(overclaims - 1) +
                                " more sounds claim states that the file does not hold");
    if (shortRecords > 1)
        result.damage.push_back(std::to_string(shortRecords - 1) + " more records run past the end of the file");

    if (kind == BankKind::WithAnimations) {
        bank.AnimsInfo.resize(bank.AudioCount);
        r.seek(bank.HeaderSize);
        for (auto& anim : bank.AnimsInfo) {
            anim.Offset = r.i64();
            anim.Hash = r.u32();
            anim.Size = r.u32();
        }
        if (r.ranShort()) {
            result.damage.push_back("the animation directory runs past the end of the file");
            r = ByteReader(image);
        }
        const std::uint64_t animBase = AnimationBase(bank);
        for (auto& anim : bank.AnimsInfo) {
            std::uint64_t at = animBase + static_cast<std::uint64_t>(anim.Offset);
            r.seek(static_cast<std::size_t>(std::min<std::uint64_t>(at, SIZE_MAX)));
            anim.Animation._f0 = r.u32();
            anim.Animation.Size = r.u32();
        }
    }
    return result;
}

std::uint32_t RecordLength(RecordForm form, const TBankChannelInfo& info) {
    return form == RecordForm::Pcm ? kPcmRecordSize
                                   : kAdpcmRecordBase + 3 * static_cast<std::uint32_t>(info.States.size());
}

Status LayoutBank(TBankAudio& bank, BankKind kind, RecordForm form) {
    const std::uint32_t count = static_cast<std::uint32_t>(bank.BanksInfo.size());
    if (bank.BanksHeadInfo.size() != count || (kind == BankKind::WithAnimations && bank.AnimsInfo.size() != count))
        return Error{"the bank's directories do not match its sound count"};
    bank.AudioCount = count;

    std::uint64_t headerSize = kBankFixedHeaderSize;
    std::uint64_t recordOffset = 0;
    std::uint64_t sampleOffset = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        TBankChannelInfo& info = bank.BanksInfo[i];
        info.StatesCount = static_cast<std::uint32_t>(info.States.size());
        info.Size2 = form == RecordForm::Adpcm ? 2 * info.Size : info.Size / 2;
        TBankChannelHeader& head = bank.BanksHeadInfo[i];
        head.Size = RecordLength(form, info);
        head.Offset = static_cast<std::uint32_t>(recordOffset);
        info.Offset = static_cast<std::uint32_t>(sampleOffset);
        recordOffset += head.Size;
        headerSize += kDirectoryEntrySize + head.Size;
        sampleOffset += AlignTo2048(std::uint64_t{info.Size});
        if (form == RecordForm::Adpcm && info.Size > 0x7FFFFFFFu)
            return Error{"sound " + std::to_string(i) + " is too long for the bank format"};
        if (headerSize > 0xFFFFFFFFu || sampleOffset > 0xFFFFFFFFu) break;
    }
    std::uint64_t headerEnd = headerSize;
    if (kind == BankKind::WithAnimations) {
        std::uint64_t animOffset = 0;
        for (auto& anim : bank.AnimsInfo) {
            anim.Offset = static_cast<std::int64_t>(animOffset);
            animOffset += anim.Size;
            headerEnd += kDirectoryEntrySize + std::uint64_t{anim.Size};
        }
    }
    const std::uint64_t headerFullSize = AlignTo2048(headerEnd);
    if (headerSize > 0xFFFFFFFFu || headerFullSize + sampleOffset > 0xFFFFFFFFu)
        return Error{"the rebuilt bank would be 4 GiB or larger, more than the format can address"};
    bank.HeaderSize = static_cast<std::uint32_t>(headerSize);
    bank.HeaderFullSize = static_cast<std::uint32_t>(headerFullSize);
    return {};
}

Status WriteBankPlan(const TBankAudio& bank, BankKind kind, RecordForm form, const BankSources& sources,
                     ImagePlan& plan) {
    const std::uint32_t count = bank.AudioCount;
    if (bank.BanksInfo.size() != count || bank.BanksHeadInfo.size() != count || sources.samples.size() != count)
        return Error{"the bank's sample sources do not match its sound count"};
    const bool withAnims = kind == BankKind::WithAnimations;
    if (withAnims && (bank.AnimsInfo.size() != count || sources.animations.size() != count))
        return Error{"the bank's animation sources do not match its sound count"};

    PlanWriter w(plan);

    w.u32(kBankFixedHeaderSize);
    w.u32(0);
    w.u32(bank.HeaderSize);
    w.u32(0);
    w.u32(count);
    w.u32(withAnims ? count : 0);
    w.u32(bank.HeaderFullSize);
    for (const auto& head : bank.BanksHeadInfo) {
        w.u32(head.Offset);
        w.u32(0);
        w.u32(head.Hash);
        w.u32(head.Size);
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const TBankChannelInfo& info = bank.BanksInfo[i];
        w.u32(info.Offset);
        w.u32(0);
        w.u32(bank.BanksHeadInfo[i].Hash);
        w.u32(info.Size);
        w.u32(info.Size2);
        w.i32(info.iUnknown);
        w.u16(info.Frequency);
        w.u16(info.wUnknown);
        w.u32(info.Compression);
        if (form == RecordForm::Adpcm) {
            w.i64(info.OffsetStates);
            w.u32(info.Samples);
            w.i64(info._wFA);
            w.u32(static_cast<std::uint32_t>(info.States.size()));
            for (const auto& s : info.States) {
                w.i16(s.valprev);
                w.u8(s.index);
            }
        }
    }
    if (withAnims) {
        for (const auto& anim : bank.AnimsInfo) {
            w.i64(anim.Offset);
            w.u32(anim.Hash);
            w.u32(anim.Size);
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            if (sources.animations[i].size() != bank.AnimsInfo[i].Size)
                return Error{"animation block " + std::to_string(i) + " does not have its recorded size"};
            w.bytes(sources.animations[i]);
        }
    }
    w.padTo2048();
    if (w.size() != bank.HeaderFullSize) return Error{"the bank's header does not end where its layout says"};
    for (std::uint32_t i = 0; i < count; ++i) {
        if (sources.samples[i].size() != bank.BanksInfo[i].Size)
            return Error{"sound " + std::to_string(i) + " does not have its recorded size"};
        w.bytes(sources.samples[i]);
        w.padTo2048();
    }
    return {};
}

Result<Bytes> WriteBank(const TBankAudio& bank, BankKind kind, RecordForm form, const BankSources& sources) {
    ImagePlan plan;
    if (Status s = WriteBankPlan(bank, kind, form, sources, plan); !s) return s.error();
    return plan.Flatten();
}

Status CheckRebuildable(const TBankAudio& bank, BankKind kind, std::span<const std::uint8_t> image) {
    const std::uint64_t size = image.size();
    const std::uint64_t infoBase = InfoBase(bank.AudioCount);
    if (!fitsIn(size, 0, infoBase)) return Error{"its sound directory runs past the end of the file"};
    for (std::uint32_t i = 0; i < bank.AudioCount; ++i) {
        const auto& head = bank.BanksHeadInfo[i];
        const auto& info = bank.BanksInfo[i];
        const std::string which = "sound " + std::to_string(i);
        if (kind == BankKind::Plain && info.Compression != bank.BanksInfo[0].Compression)
            return Error{"its sounds do not all share one sample format (" + which + " has Compression " +
                         std::to_string(info.Compression) + ", the first sound " +
                         std::to_string(bank.BanksInfo[0].Compression) + ")"};
        const RecordForm form = kind == BankKind::WithAnimations || info.Compression == kCompressionAdpcm
                                    ? RecordForm::Adpcm
                                    : RecordForm::Pcm;
        if (head.Size != RecordLength(form, info))
            return Error{"the directory gives " + which + "'s record " + std::to_string(head.Size) +
                         " bytes, but it holds " + std::to_string(RecordLength(form, info))};
        if (!fitsIn(size, infoBase + head.Offset, head.Size))
            return Error{which + "'s record runs past the end of the file"};
        if (!fitsIn(size, SoundDataStart(bank, info), info.Size))
            return Error{which + "'s samples run past the end of the file"};
    }
    if (kind == BankKind::WithAnimations) {
        const std::uint64_t animBase = AnimationBase(bank);
        if (!fitsIn(size, bank.HeaderSize, kDirectoryEntrySize * std::uint64_t{bank.AudioCount}))
            return Error{"its animation directory runs past the end of the file"};
        for (std::uint32_t i = 0; i < bank.AudioCount; ++i) {
            const auto& anim = bank.AnimsInfo[i];
            if (anim.Offset < 0 || !fitsIn(size, animBase + static_cast<std::uint64_t>(anim.Offset), anim.Size))
                return Error{"animation block " + std::to_string(i) + " runs past the end of the file"};
        }
    }
    return {};
}

}  // namespace brenzo::formats
