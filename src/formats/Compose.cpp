#include "formats/Compose.h"

#include "codec/IMAADPCM.h"
#include "formats/MultiWriter.h"

namespace brenzo::formats {

ComposedSound ComposeSound(std::span<const std::uint8_t> pcm, RecordForm form, std::uint16_t rate) {
    ComposedSound s;
    s.info.Frequency = rate;
    if (form == RecordForm::Adpcm) {
        std::vector<std::uint8_t> states;
        codec::ADPCMEncodeStream(pcm, s.stored, states, static_cast<std::int32_t>(pcm.size()));
        s.info.Compression = kCompressionAdpcm;
        s.info.States = codec::ParseStoredStates(states);
        s.info.StatesCount = static_cast<std::uint32_t>(s.info.States.size());
        s.info.Size = static_cast<std::uint32_t>(s.stored.size());
        s.info.Size2 = s.info.Samples = 2 * s.info.Size;
    } else {
        s.stored.assign(pcm.begin(), pcm.end());
        s.info.Compression = kCompressionPcm;
        s.info.Size = static_cast<std::uint32_t>(s.stored.size());
        s.info.Size2 = s.info.Size / 2;
    }
    return s;
}

ComposedChannel ComposeChannel(std::span<const std::uint8_t> pcm, bool adpcm, std::uint16_t rate) {
    ComposedChannel c;
    TADPCMChannel& ch = c.channel;
    ch.Frequency = rate;
    if (adpcm) {
        std::vector<std::uint8_t> states;
        codec::ADPCMEncodeStream(pcm, c.stream, states, static_cast<std::int32_t>(pcm.size()));
        ch.Compression = kMultiCompressionAdpcm;
        ch.States = codec::ParseStoredStates(states);
        ch.StatesCount = static_cast<std::uint32_t>(ch.States.size());
        ch.Size = static_cast<std::uint32_t>(c.stream.size());
        ch.Length = ch.Samples = 2 * ch.Size;
    } else {
        c.stream.assign(pcm.begin(), pcm.end());
        ch.Compression = 1;
        ch.Size = static_cast<std::uint32_t>(c.stream.size());
        ch.Length = ch.Samples = ch.Size / 2;
    }
    return c;
}

Result<ComposedMulti> ComposeMulti(const std::vector<std::vector<std::uint8_t>>& pcm, bool adpcm, std::uint16_t rate,
                                   std::uint32_t blockSize, const std::vector<std::uint32_t>& hashes) {
    ComposedMulti out;
    TMultiADPCM& multi = out.model;
    multi.Channels = static_cast<std::uint32_t>(pcm.size());
    multi.BlockSize = blockSize;
    for (std::size_t c = 0; c < pcm.size(); ++c) {
        ComposedChannel composed = ComposeChannel(pcm[c], adpcm, rate);
        TADPCMChannelHeader head;
        head.HeadHash = c < hashes.size() ? hashes[c] : 0;
        multi.ChHeadSizes.push_back(head);
        multi.ChHeaders.push_back(std::move(composed.channel));
        out.streams.push_back(std::move(composed.stream));
    }
    if (Status s = LayoutMulti(multi); !s) return s.error();
    std::vector<std::span<const std::uint8_t>> spans(out.streams.begin(), out.streams.end());
    auto image = WriteMulti(multi, rate, spans);
    if (!image) return image.error();
    out.image = std::move(*image);
    return out;
}

}  // namespace brenzo::formats
