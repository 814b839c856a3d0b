// Resampling on Windows through Media Foundation's audio resampler (a DSP object), at its
// highest quality, over 32-bit float. Its output is made exactly as long as the Linux
// resampler's (Resampler::OutputFrames), so both builds give files of the same length.
#include <windows.h>
#include <mfapi.h>
#include <mferror.h>
#include <mftransform.h>
#include <wmcodecdsp.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "engine/Resampler.h"
#include "engine/windows/MediaFoundation.h"

namespace brenzo::engine {
namespace {

using windows::ComPtr;

// The resampler's quality setting, not declared by MinGW's headers.
struct IWMResamplerPropsLocal : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetHalfFilterLength(LONG length) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetUserChannelMtx(float* matrix) = 0;
};
const GUID kIidResamplerProps = {0xe7e9984f, 0xf09f, 0x4da4, {0x90, 0x3f, 0x6e, 0x2e, 0x0e, 0xfe, 0x56, 0xb5}};
constexpr LONG kHighestQuality = 60;

Result<ComPtr<IMFMediaType>> floatType(std::uint32_t rate, std::uint16_t channels) {
    ComPtr<IMFMediaType> t;
    if (FAILED(MFCreateMediaType(t.put()))) return Error{"cannot describe the sound to the resampler"};
    t->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    t->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_Float);
    t->SetUINT32(MF_MT_AUDIO_NUM_CHANNELS, channels);
    t->SetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, rate);
    t->SetUINT32(MF_MT_AUDIO_BLOCK_ALIGNMENT, 4u * channels);
    t->SetUINT32(MF_MT_AUDIO_AVG_BYTES_PER_SECOND, 4u * channels * rate);
    t->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, 32);
    t->SetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, TRUE);
    return t;
}

}  // namespace

struct Resampler::State : Shape {
    explicit State(const Shape& shape) : Shape(shape) {}
    ComPtr<IMFTransform> transform;
    std::uint64_t framesIn = 0;
    std::uint64_t framesOut = 0;

    Status drainInto(std::vector<float>& out) {
        const std::size_t room =
            std::max<std::size_t>(4096, static_cast<std::size_t>(std::ceil(65536.0 * outputRate / inputRate)));
        for (;;) {
            ComPtr<IMFSample> sample;
            ComPtr<IMFMediaBuffer> buffer;
            if (FAILED(MFCreateSample(sample.put())) ||
                FAILED(MFCreateMemoryBuffer(static_cast<DWORD>(room * channels * sizeof(float)), buffer.put())))
                return Error{"the resampler has no memory"};
            sample->AddBuffer(buffer.get());
            MFT_OUTPUT_DATA_BUFFER data{};
            data.dwStreamID = 0;
            data.pSample = sample.get();
            DWORD status = 0;
            const HRESULT hr = transform->ProcessOutput(0, 1, &data, &status);
            if (data.pEvents) data.pEvents->Release();
            if (hr == MF_E_TRANSFORM_NEED_MORE_INPUT) return {};
            if (FAILED(hr)) return Error{"the resampler failed (" + windows::DescribeHResult(hr) + ")"};
            BYTE* bytes = nullptr;
            DWORD length = 0;
            if (FAILED(buffer->Lock(&bytes, nullptr, &length))) return Error{"the resampler failed"};
            const std::size_t samples = length / sizeof(float);
            const std::size_t start = out.size();
            out.resize(start + samples);
            std::memcpy(out.data() + start, bytes, samples * sizeof(float));
            buffer->Unlock();
            framesOut += samples / channels;
        }
    }
};

Status Resampler::Start(const Shape& shape) {
    const std::string what = "the resampler cannot convert from " + std::to_string(shape.inputRate) + " Hz to " +
                             std::to_string(shape.outputRate) + " Hz";
    if (Status s = windows::StartMediaFoundation(); !s) return Error{what + ": " + s.message()};
    state_ = std::make_unique<State>(shape);
    State& st = *state_;
    HRESULT hr =
        CoCreateInstance(CLSID_CResamplerMediaObject, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(st.transform.put()));
    if (FAILED(hr)) return Error{what + ": " + windows::DescribeHResult(hr)};
    {
        IWMResamplerPropsLocal* props = nullptr;
        if (SUCCEEDED(st.transform->QueryInterface(kIidResamplerProps, reinterpret_cast<void**>(&props))) && props) {
            props->SetHalfFilterLength(kHighestQuality);
            props->Release();
        }
    }
    auto in = floatType(shape.inputRate, shape.channels);
    auto out = floatType(shape.outputRate, shape.channels);
    if (!in) return in.error();
    if (!out) return out.error();
    if (FAILED(hr = st.transform->SetInputType(0, in->get(), 0)) ||
        FAILED(hr = st.transform->SetOutputType(0, out->get(), 0)))
        return Error{what + ": " + windows::DescribeHResult(hr)};
    st.transform->ProcessMessage(MFT_MESSAGE_NOTIFY_BEGIN_STREAMING, 0);
    st.transform->ProcessMessage(MFT_MESSAGE_NOTIFY_START_OF_STREAM, 0);
    return {};
}

Resampler::Resampler() = default;
Resampler::~Resampler() = default;

Status Resampler::Feed(std::span<const float> in, std::vector<float>& out) {
    State& st = *state_;
    // Fed in pieces of at most 64 Ki frames, draining after each.
    const std::size_t pieceSamples = 65536u * st.channels;
    for (std::size_t at = 0; at < in.size(); at += pieceSamples) {
        const std::size_t n = std::min(pieceSamples, in.size() - at);
        ComPtr<IMFSample> sample;
        ComPtr<IMFMediaBuffer> buffer;
        if (FAILED(MFCreateSample(sample.put())) ||
            FAILED(MFCreateMemoryBuffer(static_cast<DWORD>(n * sizeof(float)), buffer.put())))
            return Error{"the resampler has no memory"};
        BYTE* bytes = nullptr;
        buffer->Lock(&bytes, nullptr, nullptr);
        std::memcpy(bytes, in.data() + at, n * sizeof(float));
        buffer->Unlock();
        buffer->SetCurrentLength(static_cast<DWORD>(n * sizeof(float)));
        sample->AddBuffer(buffer.get());
        const HRESULT hr = st.transform->ProcessInput(0, sample.get(), 0);
        if (FAILED(hr)) return Error{"the resampler failed (" + windows::DescribeHResult(hr) + ")"};
        st.framesIn += n / st.channels;
        if (Status s = st.drainInto(out); !s) return s;
    }
    return {};
}

Status Resampler::Flush(std::vector<float>& out) {
    State& st = *state_;
    st.transform->ProcessMessage(MFT_MESSAGE_NOTIFY_END_OF_STREAM, 0);
    st.transform->ProcessMessage(MFT_MESSAGE_COMMAND_DRAIN, 0);
    const std::size_t start = out.size();
    const std::uint64_t before = st.framesOut;
    if (Status s = st.drainInto(out); !s) return s;
    // The same length as on Linux: what the filter holds beyond it is cut, a shortfall is
    // silence. Only this last piece can be cut; the pieces before it came out shorter.
    const std::uint64_t target = OutputFrames(st.framesIn, st.inputRate, st.outputRate);
    const std::uint64_t fromHere = target > before ? target - before : 0;
    out.resize(start + static_cast<std::size_t>(fromHere) * st.channels, 0.0f);
    st.framesOut = before + fromHere;
    st.transform->ProcessMessage(MFT_MESSAGE_NOTIFY_END_STREAMING, 0);
    return {};
}

}  // namespace brenzo::engine
