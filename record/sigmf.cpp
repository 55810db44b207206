#include "record/sigmf.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cstdint>
#include <sstream>

namespace vorn::record {

namespace {

constexpr const char* kDatatype = "cu16_le";
constexpr const char* kSigmfVersion = "1.0.0";
constexpr const char* kNamespaceVersion = "1.0.0";
constexpr int kChannels = 2;
// I then Q, each a little-endian uint16, for each of the two channels.
constexpr std::size_t kBytesPerEntry = 4;
constexpr std::size_t kChunkEntries = std::size_t{1} << 18;
constexpr std::int32_t kMaxCount = 65535;

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

QString Native(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

const char* ModeKey(int mode) {
    switch (mode) {
        case kModeCw:
            return "cw";
        case kModeFsk:
            return "fsk";
        default:
            return "fmcw_sawtooth";
    }
}

std::string Description(const FileHeader& h) {
    std::ostringstream text;
    text << "Vorn radar recording, ";
    switch (InferOperatingMode(h)) {
        case kModeCw:
            text << "CW";
            break;
        case kModeFsk:
            text << "FSK, tones " << h.bandwidthHz / 1e6 << " MHz apart";
            break;
        default:
            text << "FMCW sawtooth over " << h.bandwidthHz / 1e6 << " MHz";
    }
    text << ", " << h.sweepTimeMs << " ms sweeps of " << h.samplesPerSweep
         << " samples: receive channels 1 and 2 interleaved, raw converter counts";
    return text.str();
}

std::string IsoUtc(std::time_t when) {
    std::tm utc{};
    char text[32];
    if (::gmtime_r(&when, &utc) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc) == 0)
        return {};
    return text;
}

QByteArray Metadata(const SigmfRecording& r) {
    const FileHeader& h = r.header;
    QJsonObject extension{{"name", "vorn"}, {"version", kNamespaceVersion}, {"optional", false}};
    QJsonObject global{
        {"core:datatype", kDatatype},
        {"core:version", kSigmfVersion},
        {"core:num_channels", kChannels},
        {"core:sample_rate", h.samplesPerSweep / (h.sweepTimeMs / 1000.0)},
        {"core:recorder", QString::fromStdString(r.recorder)},
        {"core:description", QString::fromStdString(Description(h))},
        {"core:extensions", QJsonArray{extension}},
        {"vorn:operating_mode", ModeKey(InferOperatingMode(h))},
        {"vorn:sweep_time_ms", h.sweepTimeMs},
        {"vorn:samples_per_sweep", h.samplesPerSweep},
        {"vorn:bandwidth_hz", h.bandwidthHz},
        {"vorn:header", QJsonArray{h.frequencyHz, h.sweepTimeMs, h.samplesPerSweep, h.bandwidthHz}},
    };
    QJsonObject capture{{"core:sample_start", 0}, {"core:frequency", TransmitCarrierHz(h)}};
    if (r.startTime) {
        if (const std::string iso = IsoUtc(*r.startTime); !iso.empty())
            capture.insert("core:datetime", QString::fromStdString(iso));
    }
    const QJsonObject top{
        {"global", global}, {"captures", QJsonArray{capture}}, {"annotations", QJsonArray{}}};
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

std::int32_t Real(const SampleEntry& e) {
    return e.re;
}
std::int32_t Imag(const SampleEntry& e) {
    return e.im;
}
// As the ".dat" writer turns them into whole numbers.
std::int32_t Real(const std::complex<double>& s) {
    return SampleToInt(s.real());
}
std::int32_t Imag(const std::complex<double>& s) {
    return SampleToInt(s.imag());
}

void PutU16(char* out, std::int32_t value) {
    out[0] = static_cast<char>(value & 0xFF);
    out[1] = static_cast<char>((value >> 8) & 0xFF);
}

template <typename Entry>
WriteResult Write(const std::string& metaPath, const SigmfRecording& recording,
                  const std::vector<Entry>& entries) {
    WriteResult result;
    const std::string dataPath = SigmfDataPath(metaPath);
    QSaveFile data(Native(dataPath));
    QSaveFile meta(Native(metaPath));
    const auto fail = [&result](const char* what, const std::string& path, const QString& why) {
        result.message = what + (" " + Quoted(path)) + ": " + why.toStdString();
        return result;
    };
    if (!data.open(QIODevice::WriteOnly))
        return fail("Cannot create", dataPath, data.errorString());

    QByteArray chunk;
    for (std::size_t at = 0; at < entries.size(); at += kChunkEntries) {
        const std::size_t end = std::min(entries.size(), at + kChunkEntries);
        chunk.resize(static_cast<int>((end - at) * kBytesPerEntry));
        char* out = chunk.data();
        for (std::size_t k = at; k < end; ++k, out += kBytesPerEntry) {
            const std::int32_t iq[] = {Real(entries[k]), Imag(entries[k])};
            for (int part = 0; part < 2; ++part) {
                if (iq[part] < 0 || iq[part] > kMaxCount) {
                    result.message = "Cannot write " + Quoted(metaPath) + ": frame " +
                                     std::to_string(k / kChannels + 1) + ", channel " +
                                     std::to_string(k % kChannels + 1) + ": " +
                                     (part == 0 ? "I " : "Q ") + std::to_string(iq[part]) +
                                     " is outside 0 to 65535, the range of " + kDatatype;
                    return result;
                }
                PutU16(out + 2 * part, iq[part]);
            }
        }
        if (data.write(chunk) != chunk.size())
            return fail("Cannot write", dataPath, data.errorString());
    }
    if (!meta.open(QIODevice::WriteOnly))
        return fail("Cannot create", metaPath, meta.errorString());
    const QByteArray json = Metadata(recording);
    if (meta.write(json) != json.size()) return fail("Cannot write", metaPath, meta.errorString());
    if (!data.commit()) return fail("Cannot write", dataPath, data.errorString());
    if (!meta.commit()) {
        // The data file alone would be a recording nothing can read.
        QFile::remove(Native(dataPath));
        return fail("Cannot write", metaPath, meta.errorString());
    }
    result.ok = true;
    result.linesWritten = entries.size();
    return result;
}

}  // namespace

bool IsSigmfMetaPath(const std::string& path) {
    return EndsWith(path, kSigmfMetaSuffix);
}

std::string SigmfMetaPathFor(const std::string& chosen) {
    if (IsSigmfMetaPath(chosen)) return chosen;
    for (const std::string suffix : {".dat", kSigmfDataSuffix}) {
        if (EndsWith(chosen, suffix))
            return chosen.substr(0, chosen.size() - suffix.size()) + kSigmfMetaSuffix;
    }
    return chosen + kSigmfMetaSuffix;
}

std::string SigmfDataPath(const std::string& metaPath) {
    const std::string meta = kSigmfMetaSuffix;
    const std::string base =
        IsSigmfMetaPath(metaPath) ? metaPath.substr(0, metaPath.size() - meta.size()) : metaPath;
    return base + kSigmfDataSuffix;
}

double TransmitCarrierHz(const FileHeader& header) {
    return CarrierHz(InferOperatingMode(header), header.frequencyHz);
}

std::optional<std::time_t> RecordingTimeFromName(const std::string& stem) {
    const std::string name = EndsWith(stem, ".dat") ? stem.substr(0, stem.size() - 4) : stem;
    // Exactly the 19 characters DefaultRecordFileName writes before ".dat".
    static const char kPattern[] = "dddd-dd-dd-dd-dd-dd";
    if (name.size() != sizeof kPattern - 1) return std::nullopt;
    for (std::size_t k = 0; k < name.size(); ++k) {
        const bool digit = name[k] >= '0' && name[k] <= '9';
        if (kPattern[k] == 'd' ? !digit : name[k] != '-') return std::nullopt;
    }
    const auto field = [&name](std::size_t at, std::size_t length) {
        return std::stoi(name.substr(at, length));
    };
    std::tm local{};
    local.tm_year = field(0, 4) - 1900;
    local.tm_mon = field(5, 2) - 1;
    local.tm_mday = field(8, 2);
    local.tm_hour = field(11, 2);
    local.tm_min = field(14, 2);
    local.tm_sec = field(17, 2);
    local.tm_isdst = -1;
    const std::tm asked = local;
    const std::time_t when = std::mktime(&local);
    // mktime rolls impossible dates over (a 13th month, 25 o'clock): those are not times.
    if (when == static_cast<std::time_t>(-1) || local.tm_year != asked.tm_year ||
        local.tm_mon != asked.tm_mon || local.tm_mday != asked.tm_mday ||
        local.tm_hour != asked.tm_hour || local.tm_min != asked.tm_min ||
        local.tm_sec != asked.tm_sec)
        return std::nullopt;
    return when;
}

std::string RecorderName(const std::string& program) {
    return program + " " + VORN_VERSION;
}

WriteResult WriteSigmf(const std::string& metaPath, const SigmfRecording& recording,
                       const std::vector<SampleEntry>& entries) {
    return Write(metaPath, recording, entries);
}

WriteResult WriteSigmf(const std::string& metaPath, const SigmfRecording& recording,
                       const std::vector<std::complex<double>>& interleaved) {
    return Write(metaPath, recording, interleaved);
}

SigmfRead ReadSigmf(const std::string& metaPath) {
    SigmfRead read;
    const auto fail = [&read, &metaPath](const std::string& why) {
        read.message = Quoted(metaPath) + ": " + why;
        read.entries.clear();
        return read;
    };
    QFile metaFile(Native(metaPath));
    if (!metaFile.open(QIODevice::ReadOnly)) {
        read.message =
            "Cannot read " + Quoted(metaPath) + ": " + metaFile.errorString().toStdString();
        return read;
    }
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(metaFile.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail("not SigMF metadata: " + parseError.errorString().toStdString() +
                    " at offset " + std::to_string(parseError.offset));
    const QJsonObject global = document.object().value("global").toObject();
    if (!document.isObject() || global.isEmpty())
        return fail("not SigMF metadata: no \"global\" object");

    const QString datatype = global.value("core:datatype").toString();
    if (datatype != kDatatype)
        return fail("core:datatype \"" + datatype.toStdString() + "\": only " + kDatatype +
                    " (the radar's unsigned counts) can be read");
    if (global.value("core:num_channels").toInt(1) != kChannels)
        return fail("core:num_channels " +
                    std::to_string(global.value("core:num_channels").toInt(1)) +
                    ": the radar's recordings have 2 channels");
    const QJsonArray values = global.value("vorn:header").toArray();
    bool numbers = values.size() == 4;
    for (const QJsonValue& v : values) numbers = numbers && v.isDouble();
    const double samples = numbers ? values[2].toDouble() : 0.5;
    if (!(samples >= 0.0 && samples <= 1e9) || samples != static_cast<int>(samples))
        return fail(
            "no vorn:header (frequency, sweep time, samples per sweep, bandwidth): the "
            "radar's parameters of the recording are unknown");
    FileHeader header;
    header.frequencyHz = values[0].toDouble();
    header.sweepTimeMs = values[1].toDouble();
    header.samplesPerSweep = static_cast<int>(samples);
    header.bandwidthHz = values[3].toDouble();

    const std::string dataPath = SigmfDataPath(metaPath);
    QFile data(Native(dataPath));
    if (!data.open(QIODevice::ReadOnly)) {
        read.message = "Cannot read " + Quoted(dataPath) + ": " + data.errorString().toStdString();
        return read;
    }
    const qint64 size = data.size();
    constexpr qint64 kFrameBytes = kBytesPerEntry * kChannels;
    if (size % kFrameBytes != 0)
        return fail(Quoted(dataPath) + " holds " + std::to_string(size) +
                    " bytes, not whole frames of " + std::to_string(kFrameBytes) +
                    " (two channels of " + kDatatype + ")");
    read.entries.reserve(static_cast<std::size_t>(size) / kBytesPerEntry);
    QByteArray chunk;
    while (!data.atEnd()) {
        chunk = data.read(static_cast<qint64>(kChunkEntries * kBytesPerEntry));
        if (chunk.isEmpty() || chunk.size() % kBytesPerEntry != 0) break;
        const auto* in = reinterpret_cast<const unsigned char*>(chunk.constData());
        for (int k = 0; k < chunk.size(); k += static_cast<int>(kBytesPerEntry))
            read.entries.emplace_back(in[k] | in[k + 1] << 8, in[k + 2] | in[k + 3] << 8);
    }
    if (read.entries.size() * kBytesPerEntry != static_cast<std::size_t>(size))
        return fail(Quoted(dataPath) +
                    " could not be read whole: " + data.errorString().toStdString());
    read.header = header;
    read.ok = true;
    return read;
}

}  // namespace vorn::record
