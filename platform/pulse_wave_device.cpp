#include "platform/pulse_wave_device.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "core/capture_format.h"
#include "platform/wave_device_rules.h"

namespace tarnwick {
namespace {

constexpr pa_sample_spec kCaptureSpec{PA_SAMPLE_S16LE, kSampleRate, 2};

// The replay is heard while the same frames are measured from the store at the
// input's pace; a short server buffer keeps the sound close to the picture and
// makes Reset silent at once.
constexpr uint32_t kPlaybackTargetBytes = kSampleRate / 10 * kBytesPerFrame;  // 100 ms

std::string WithoutLeadingBlanks(const char* text) {
    std::string s = text != nullptr ? text : "";
    const size_t first = s.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : s.substr(first);
}

std::string ServerError(pa_context* c, const char* what) {
    std::string reason = what;
    if (c != nullptr) {
        reason += ": ";
        reason += pa_strerror(pa_context_errno(c));
    }
    return reason;
}

// Waits for an operation under the connection's lock and releases it. A reply
// that does not come in time is cancelled, so its callback never runs on a
// result that is gone.
bool Finish(PulseConnection& connection, pa_operation* op) {
    if (op == nullptr) {
        return false;
    }
    const bool done =
        connection.WaitFor([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; },
                           connection.patience().reply);
    if (!done) {
        pa_operation_cancel(op);
    }
    const bool ok = pa_operation_get_state(op) == PA_OPERATION_DONE;
    pa_operation_unref(op);
    return ok;
}

struct SourceListing {
    PulseConnection* connection;
    std::string defaultSource;
    struct Entry {
        std::string name;
        std::string description;
        bool monitor;
    };
    std::vector<Entry> entries;
};

void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    auto* listing = static_cast<SourceListing*>(userdata);
    if (info != nullptr && info->default_source_name != nullptr) {
        listing->defaultSource = info->default_source_name;
    }
    listing->connection->Signal();
}

void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* listing = static_cast<SourceListing*>(userdata);
    if (eol == 0 && info != nullptr) {
        listing->entries.push_back(
            {info->name,
             WithoutLeadingBlanks(info->description != nullptr ? info->description : info->name),
             info->monitor_of_sink != PA_INVALID_INDEX});
    }
    if (eol != 0) {
        listing->connection->Signal();
    }
}

struct SourceLookup {
    PulseConnection* connection;
    bool found = false;
};

void OnSourceLookup(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* lookup = static_cast<SourceLookup*>(userdata);
    if (eol == 0 && info != nullptr) {
        lookup->found = true;
    }
    if (eol != 0) {
        lookup->connection->Signal();
    }
}

// Drops a stream's callbacks before disconnecting it, so that nothing of ours
// runs for it afterwards; a stream the server already killed is only released.
void DropStream(pa_stream*& stream) {
    if (stream == nullptr) {
        return;
    }
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        pa_stream_disconnect(stream);
    }
    pa_stream_unref(stream);
    stream = nullptr;
}

// One fragment per block: the server wakes us once per block, as the pipeline
// expects one event per block's worth of audio.
pa_buffer_attr RecordBufferAttr(int32_t blockBytes) {
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(-1);
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = blockBytes >= kBytesPerFrame ? static_cast<uint32_t>(blockBytes)
                                                 : static_cast<uint32_t>(-1);
    return attr;
}

bool WaitUntilStreamSettles(PulseConnection& connection, pa_stream* stream) {
    connection.WaitFor(
        [stream] {
            const pa_stream_state_t s = pa_stream_get_state(stream);
            return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
        },
        connection.patience().reply);
    return pa_stream_get_state(stream) == PA_STREAM_READY;
}

}  // namespace

// ---------------------------------------------------------------------------
// Input

PulseWaveInput::PulseWaveInput(std::string server, PulsePatience patience)
    : connection_(std::move(server), patience) {}

PulseWaveInput::~PulseWaveInput() {
    // The queued blocks die with the adapter; events already posted are dropped
    // by the poster.
    PulseConnection::Locked lock(connection_);
    DropStream(stream_);
    recording_ = false;
    queue_.clear();
}

std::vector<PulseWaveInput::Source> PulseWaveInput::ListSources() {
    PulseConnection::Locked lock(connection_);
    if (!connection_.EnsureReady()) {
        return {};
    }
    SourceListing listing{&connection_, {}, {}};
    if (!Finish(connection_,
                pa_context_get_server_info(connection_.context(), OnServerInfo, &listing)) ||
        !Finish(connection_,
                pa_context_get_source_info_list(connection_.context(), OnSourceInfo, &listing))) {
        return {};
    }
    std::vector<Source> sources;
    auto take = [&](auto keep) {
        for (const auto& e : listing.entries) {
            if (keep(e)) {
                sources.push_back({e.name, e.description});
            }
        }
    };
    const std::string& def = listing.defaultSource;
    take([&](const SourceListing::Entry& e) { return e.name == def; });
    take([&](const SourceListing::Entry& e) { return e.name != def && !e.monitor; });
    take([&](const SourceListing::Entry& e) { return e.name != def && e.monitor; });
    return sources;
}

bool PulseWaveInput::SourceExists(const std::string& name) {
    SourceLookup lookup{&connection_};
    return Finish(connection_, pa_context_get_source_info_by_name(
                                   connection_.context(), name.c_str(), OnSourceLookup, &lookup)) &&
           lookup.found;
}

int PulseWaveInput::DeviceCount() {
    sources_ = ListSources();
    listed_ = true;
    return static_cast<int>(sources_.size());
}

std::string PulseWaveInput::DeviceName(int id) {
    if (!listed_) {
        DeviceCount();
    }
    if (id < 0 || id >= static_cast<int>(sources_.size())) {
        return {};
    }
    return sources_[id].description;
}

int PulseWaveInput::Query(int id, const WaveFormat& format) {
    if (!IsCaptureFormat(format)) {
        return kWaveBadFormat;
    }
    if (!listed_) {
        DeviceCount();
    }
    PulseConnection::Locked lock(connection_);
    if (!connection_.EnsureReady()) {
        return kWaveError;
    }
    if (id < 0 || id >= static_cast<int>(sources_.size())) {
        return kWaveBadDeviceId;
    }
    return kWaveOk;
}

int PulseWaveInput::Open(int id, const WaveFormat& format, BlockFilledHandler onFilled,
                         DeviceFailedHandler onFailed) {
    if (!IsCaptureFormat(format)) {
        return kWaveBadFormat;
    }
    if (open_) {
        Close();
    }
    if (!listed_) {
        DeviceCount();
    }
    PulseConnection::Locked lock(connection_);
    if (!connection_.EnsureReady()) {
        return kWaveError;
    }
    if (id < 0 || id >= static_cast<int>(sources_.size())) {
        return kWaveBadDeviceId;
    }
    // The listing may be older than a device that was unplugged since.
    if (!SourceExists(sources_[id].name)) {
        return kWaveBadDeviceId;
    }
    openSource_ = sources_[id].name;
    onFilled_ = std::make_shared<BlockFilledHandler>(std::move(onFilled));
    onFailed_ = std::make_shared<DeviceFailedHandler>(std::move(onFailed));
    failed_ = false;
    open_ = true;
    return kWaveOk;
}

int PulseWaveInput::Prepare(CaptureBlock& block) {
    return PrepareCaptureBlock(block);
}

int PulseWaveInput::Unprepare(CaptureBlock& block) {
    return UnprepareCaptureBlock(block);
}

int PulseWaveInput::AddBuffer(CaptureBlockPtr block) {
    if (!open_ || block == nullptr) {
        return kWaveError;
    }
    if (const int r = ReadyCaptureBlockForQueue(*block); r != kWaveOk) {
        return r;
    }
    PulseConnection::Locked lock(connection_);
    const int32_t length = block->bufferLength;
    queue_.push_back(std::move(block));
    if (recording_) {
        if (length != fragmentBytes_) {
            // A new sweep time: the server's fragments follow the new block
            // length, so that events keep coming once per block.
            fragmentBytes_ = length;
            const pa_buffer_attr attr = RecordBufferAttr(length);
            if (pa_operation* op = pa_stream_set_buffer_attr(stream_, &attr, nullptr, nullptr)) {
                pa_operation_unref(op);
            }
        }
        ReadStream();
    }
    return kWaveOk;
}

int PulseWaveInput::Start() {
    if (!open_) {
        return kWaveError;
    }
    PulseConnection::Locked lock(connection_);
    if (recording_) {
        return kWaveOk;
    }
    if (!connection_.EnsureReady()) {
        return kWaveError;
    }
    stream_ = pa_stream_new(connection_.context(), "Level meter input", &kCaptureSpec, nullptr);
    if (stream_ == nullptr) {
        return kWaveError;
    }
    pa_stream_set_state_callback(stream_, OnStreamState, this);
    pa_stream_set_read_callback(stream_, OnStreamRead, this);

    fragmentBytes_ = queue_.empty() ? 0 : queue_.front()->bufferLength;
    const pa_buffer_attr attr = RecordBufferAttr(fragmentBytes_);
    // The user chose this source by name: if it goes away the meter reports
    // it rather than silently measuring another one.
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(stream_, openSource_.c_str(), &attr, flags) < 0 ||
        !WaitUntilStreamSettles(connection_, stream_)) {
        DropStream(stream_);
        return kWaveError;
    }
    peekOffset_ = 0;
    recording_ = true;
    return kWaveOk;
}

void PulseWaveInput::Reset() {
    PulseConnection::Locked lock(connection_);
    DropStream(stream_);
    peekOffset_ = 0;
    recording_ = false;
    while (!queue_.empty()) {
        CaptureBlockPtr block = std::move(queue_.front());
        queue_.pop_front();
        HandBack(std::move(block));
    }
}

void PulseWaveInput::Close() {
    if (!open_) {
        return;
    }
    Reset();
    open_ = false;
    openSource_.clear();
    PulseConnection::Locked lock(connection_);
    onFilled_.reset();
    onFailed_.reset();
}

void PulseWaveInput::OnStreamState(pa_stream* s, void* userdata) {
    auto* self = static_cast<PulseWaveInput*>(userdata);
    const pa_stream_state_t state = pa_stream_get_state(s);
    if (!PA_STREAM_IS_GOOD(state) && self->recording_) {
        self->ReportFailure(
            ServerError(pa_stream_get_context(s), "The sound server stopped the recording"));
    }
    self->connection_.Signal();
}

void PulseWaveInput::OnStreamRead(pa_stream*, size_t, void* userdata) {
    static_cast<PulseWaveInput*>(userdata)->ReadStream();
}

void PulseWaveInput::ReadStream() {
    // Audio that arrives while no block is queued stays in the stream's buffer
    // until AddBuffer brings a block: a slow pipeline delays blocks, it does not
    // lose audio.
    while (stream_ != nullptr && !failed_ && !queue_.empty()) {
        const void* data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream_, &data, &bytes) < 0) {
            ReportFailure(ServerError(connection_.context(), "Reading the recording failed"));
            return;
        }
        if (bytes == 0) {
            return;
        }
        // A hole (no data) is audio the server did not have: it reads as silence.
        const auto* from = static_cast<const uint8_t*>(data);
        peekOffset_ += Store(from != nullptr ? from + peekOffset_ : nullptr, bytes - peekOffset_);
        if (peekOffset_ == bytes) {
            pa_stream_drop(stream_);
            peekOffset_ = 0;
        }
    }
}

size_t PulseWaveInput::Store(const uint8_t* data, size_t bytes) {
    size_t taken = 0;
    while (taken < bytes && !queue_.empty()) {
        CaptureBlock& block = *queue_.front();
        const size_t room = static_cast<size_t>(block.bufferLength - block.bytesRecorded);
        const size_t n = std::min(room, bytes - taken);
        uint8_t* to = block.storage.data() + block.bytesRecorded;
        if (data != nullptr) {
            std::memcpy(to, data + taken, n);
        } else {
            std::memset(to, 0, n);
        }
        block.bytesRecorded += static_cast<int32_t>(n);
        taken += n;
        if (block.bytesRecorded == block.bufferLength) {
            block.bytesWaiting = BytesWaiting(peekOffset_ + taken);
            CaptureBlockPtr full = std::move(queue_.front());
            queue_.pop_front();
            HandBack(std::move(full));
        }
    }
    return taken;
}

int32_t PulseWaveInput::BytesWaiting(size_t consumed) {
    const size_t readable = stream_ != nullptr ? pa_stream_readable_size(stream_) : 0;
    if (readable == static_cast<size_t>(-1) || readable <= consumed) {
        return 0;
    }
    return static_cast<int32_t>(std::min<size_t>(readable - consumed, INT32_MAX));
}

void PulseWaveInput::HandBack(CaptureBlockPtr block) {
    if (failed_ || onFilled_ == nullptr) {
        return;  // the block is freed here
    }
    block->flags |= kBlockDone;
    // std::function needs a copyable function; the shared holder lets a dropped
    // event free its block.
    auto holder = std::make_shared<CaptureBlockPtr>(std::move(block));
    poster_.Post([handler = onFilled_, holder] { (*handler)(std::move(*holder)); });
}

void PulseWaveInput::ReportFailure(const std::string& reason) {
    if (failed_) {
        return;
    }
    failed_ = true;
    if (onFailed_ != nullptr) {
        poster_.Post([handler = onFailed_, reason] { (*handler)(reason); });
    }
}

// ---------------------------------------------------------------------------
// Output

PulseWaveOutput::PulseWaveOutput(std::string server) : connection_(std::move(server)) {}

PulseWaveOutput::~PulseWaveOutput() {
    PulseConnection::Locked lock(connection_);
    DropStream(stream_);
}

int PulseWaveOutput::CheckDevice(int id, const WaveFormat& format) {
    if (!IsCaptureFormat(format)) {
        return kWaveBadFormat;
    }
    if (id != 0) {
        return kWaveBadDeviceId;
    }
    PulseConnection::Locked lock(connection_);
    return connection_.EnsureReady() ? kWaveOk : kWaveError;
}

int PulseWaveOutput::Query(int id, const WaveFormat& format) {
    return CheckDevice(id, format);
}

int PulseWaveOutput::Open(int id, const WaveFormat& format) {
    if (open_) {
        Close();
    }
    const int r = CheckDevice(id, format);
    open_ = r == kWaveOk;
    return r;
}

int PulseWaveOutput::Prepare(const uint8_t* data, int64_t bytes) {
    if (!open_ || data == nullptr || bytes < 0) {
        return kWaveError;
    }
    PulseConnection::Locked lock(connection_);
    DropStream(stream_);
    data_ = data;
    bytes_ = bytes - bytes % kBytesPerFrame;
    return kWaveOk;
}

int PulseWaveOutput::Write() {
    if (!open_) {
        return kWaveError;
    }
    PulseConnection::Locked lock(connection_);
    if (data_ == nullptr) {
        return kWaveError;
    }
    DropStream(stream_);
    if (!connection_.EnsureReady()) {
        return kWaveError;
    }
    position_ = 0;
    stream_ = pa_stream_new(connection_.context(), "Level meter replay", &kCaptureSpec, nullptr);
    if (stream_ == nullptr) {
        return kWaveError;
    }
    pa_stream_set_state_callback(stream_, OnStreamState, this);
    pa_stream_set_write_callback(stream_, OnStreamWrite, this);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = kPlaybackTargetBytes;
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    // Device 0 is whatever the desktop plays to: the default sink.
    if (pa_stream_connect_playback(stream_, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                   nullptr) < 0 ||
        !WaitUntilStreamSettles(connection_, stream_)) {
        DropStream(stream_);
        return kWaveError;
    }
    return kWaveOk;
}

void PulseWaveOutput::Reset() {
    PulseConnection::Locked lock(connection_);
    DropStream(stream_);
}

void PulseWaveOutput::Close() {
    Reset();
    PulseConnection::Locked lock(connection_);
    open_ = false;
    data_ = nullptr;
    bytes_ = 0;
}

void PulseWaveOutput::OnStreamState(pa_stream*, void* userdata) {
    static_cast<PulseWaveOutput*>(userdata)->connection_.Signal();
}

void PulseWaveOutput::OnStreamWrite(pa_stream* s, size_t bytes, void* userdata) {
    auto* self = static_cast<PulseWaveOutput*>(userdata);
    const int64_t n =
        std::min<int64_t>(static_cast<int64_t>(bytes), self->bytes_ - self->position_);
    if (n <= 0) {
        return;  // the whole block has been played; the stream runs dry
    }
    // libpulse copies the bytes, so the store is only read here.
    if (pa_stream_write(s, self->data_ + self->position_, static_cast<size_t>(n), nullptr, 0,
                        PA_SEEK_RELATIVE) == 0) {
        self->position_ += n;
    }
}

}  // namespace tarnwick
