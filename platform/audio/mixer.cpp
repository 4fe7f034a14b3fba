// mixer.cpp — see mixer.h for the model (positions, pan law, saturation).
#include "platform/audio/mixer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace plat::audio {

namespace {

constexpr double kOne = 4294967296.0;  // 1.0 in 32.32 fixed point
constexpr float kMaxRate = 64.0f;      // far above the game's 4; keeps steps small

int32_t ToQ15(float gain) { return int32_t(std::lround(double(gain) * 32768.0)); }

}  // namespace

Mixer::Mixer() {
    acc_.resize(size_t(kBlock) * 2);
    voices_.reserve(512);
    running_.reserve(512);
}

Mixer::Voice* Mixer::Find(Channel channel) {
    auto it = voices_.find(channel);
    return it == voices_.end() ? nullptr : &it->second;
}

const Mixer::Voice* Mixer::Find(Channel channel) const {
    auto it = voices_.find(channel);
    return it == voices_.end() ? nullptr : &it->second;
}

void Mixer::ForgetFinished() {
    for (auto it = voices_.begin(); it != voices_.end();) {
        // Ended voices are never in running_, so nothing points at them.
        if (it->second.finished && !it->second.active) {
            it = voices_.erase(it);
        } else {
            ++it;
        }
    }
}

Channel Mixer::Alloc() {
    // Sweeping only when the table has doubled keeps Alloc O(1) on average.
    if (voices_.size() >= sweepAt_) {
        ForgetFinished();
        sweepAt_ = std::max<size_t>(256, voices_.size() * 2);
    }
    if (voices_.size() >= size_t(kMaxChannels) || next_ == std::numeric_limits<Channel>::max())
        return 0;
    const Channel id = next_++;
    voices_.emplace(id, Voice{});
    return id;
}

void Mixer::UpdateGains(Voice& v) {
    float left = v.volume * (v.pan > 0 ? 1.0f - v.pan : 1.0f);
    float right = v.volume * (v.pan < 0 ? 1.0f + v.pan : 1.0f);
    v.gainLeft = ToQ15(left);
    v.gainRight = ToQ15(right);
}

void Mixer::UpdateStep(Voice& v) {
    if (!v.sound || !(v.rate > 0)) {
        v.step = 0;
        return;
    }
    double step = double(v.sound->rate) * double(v.rate) / kOutputRate * kOne;
    v.step = uint64_t(std::llround(step));
    if (v.step == 0) v.step = 1;  // an absurdly slow rate still moves on
}

void Mixer::RemoveRunning(Voice& v) {
    if (v.runningIndex < 0) return;
    size_t at = size_t(v.runningIndex);
    Voice* last = running_.back();
    running_[at] = last;
    last->runningIndex = int32_t(at);
    running_.pop_back();
    v.runningIndex = -1;
}

void Mixer::SyncRunning(Channel, Voice& v) {
    bool want = v.active && !v.paused;
    if (want && v.runningIndex < 0) {
        v.runningIndex = int32_t(running_.size());
        running_.push_back(&v);
    } else if (!want) {
        RemoveRunning(v);
    }
}

bool Mixer::Start(Channel channel, const Sound& sound, bool paused) {
    if (!sound || sound->frames == 0) return false;
    Voice* v = Find(channel);
    // A forgotten channel comes back under its own id.
    if (!v && channel > 0 && channel < next_) v = &voices_.emplace(channel, Voice{}).first->second;
    if (!v) return false;
    v->sound = sound;
    v->data = sound->samples.data();
    v->end = uint64_t(sound->frames) << 32;
    v->pos = 0;
    v->stereo = sound->channels == 2;
    v->loop = sound->loop;
    v->active = true;
    v->paused = paused;
    v->finished = false;
    UpdateStep(*v);
    SyncRunning(channel, *v);
    return true;
}

void Mixer::SetPaused(Channel channel, bool paused) {
    if (Voice* v = Find(channel)) {
        v->paused = paused;
        SyncRunning(channel, *v);
    }
}

void Mixer::Stop(Channel channel) {
    if (Voice* v = Find(channel)) {
        v->finished = v->finished || v->active;
        v->active = false;
        RemoveRunning(*v);
    }
}

bool Mixer::Playing(Channel channel) const {
    const Voice* v = Find(channel);
    return v && v->active;
}

void Mixer::SetVolume(Channel channel, float volume) {
    if (Voice* v = Find(channel)) {
        v->volume = volume >= 0 ? std::min(volume, 1.0f) : 0.0f;  // NaN becomes 0
        UpdateGains(*v);
    }
}

void Mixer::SetPan(Channel channel, float pan) {
    if (Voice* v = Find(channel)) {
        v->pan = std::isnan(pan) ? 0.0f : std::clamp(pan, -1.0f, 1.0f);
        UpdateGains(*v);
    }
}

void Mixer::SetRate(Channel channel, float rate) {
    if (Voice* v = Find(channel)) {
        v->rate = std::isnan(rate) ? 1.0f : std::min(rate, kMaxRate);
        UpdateStep(*v);
    }
}

bool Mixer::MixVoice(Voice& v, int32_t* acc, int n) {
    if (v.step == 0) return true;  // held silent at rate 0
    const int16_t* d = v.data;
    const uint64_t step = v.step;
    const int32_t gl = v.gainLeft, gr = v.gainRight;
    uint64_t pos = v.pos;
    int f = 0;
    while (f < n) {
        if (pos >= v.end) {
            if (!v.loop) break;
            pos %= v.end;
        }
        // Frames this segment can produce before the position leaves the
        // sound; inside it every read (frame idx and the next, at most the
        // guard) is in range, so the loops below carry no checks.
        uint64_t fit = (v.end - pos + step - 1) / step;
        int k = int(std::min<uint64_t>(fit, uint64_t(n - f)));
        int32_t* a = acc + 2 * f;
        if (gl == 0 && gr == 0) {
            pos += step * uint64_t(k);  // muted: keep time only
        } else if (!v.stereo) {
            for (int i = 0; i < k; ++i) {
                uint32_t idx = uint32_t(pos >> 32);
                int32_t frac = int32_t(uint32_t(pos) >> 17);  // 15 bits
                int32_t s0 = d[idx], s1 = d[idx + 1];
                int32_t s = s0 + (((s1 - s0) * frac) >> 15);
                a[2 * i] += (s * gl) >> 15;
                a[2 * i + 1] += (s * gr) >> 15;
                pos += step;
            }
        } else {
            for (int i = 0; i < k; ++i) {
                uint32_t idx = uint32_t(pos >> 32) * 2;
                int32_t frac = int32_t(uint32_t(pos) >> 17);
                int32_t l0 = d[idx], r0 = d[idx + 1], l1 = d[idx + 2], r1 = d[idx + 3];
                int32_t l = l0 + (((l1 - l0) * frac) >> 15);
                int32_t r = r0 + (((r1 - r0) * frac) >> 15);
                a[2 * i] += (l * gl) >> 15;
                a[2 * i + 1] += (r * gr) >> 15;
                pos += step;
            }
        }
        f += k;
    }
    v.pos = pos;
    if (pos >= v.end) {
        if (!v.loop) return false;
        v.pos = pos % v.end;
    }
    return true;
}

void Mixer::Mix(int16_t* out, int frames) {
    while (frames > 0) {
        int n = std::min(frames, kBlock);
        int32_t* acc = acc_.data();
        std::fill(acc, acc + 2 * n, 0);
        for (size_t i = 0; i < running_.size();) {
            Voice& v = *running_[i];
            if (MixVoice(v, acc, n)) {
                ++i;
            } else {
                v.active = false;
                v.finished = true;
                RemoveRunning(v);  // the last one moves into slot i
            }
        }
        for (int i = 0; i < 2 * n; ++i) out[i] = int16_t(std::clamp(acc[i], -32768, 32767));
        out += 2 * n;
        frames -= n;
    }
}

bool Mixer::AdvanceVoice(Voice& v, int64_t frames) {
    if (v.step == 0 || frames <= 0) return true;
    unsigned __int128 to = (unsigned __int128)v.pos + (unsigned __int128)v.step * uint64_t(frames);
    if (to >= v.end) {
        if (!v.loop) {
            v.pos = v.end;
            return false;
        }
        to %= v.end;
    }
    v.pos = uint64_t(to);
    return true;
}

void Mixer::Advance(int64_t frames) {
    for (size_t i = 0; i < running_.size();) {
        Voice& v = *running_[i];
        if (AdvanceVoice(v, frames)) {
            ++i;
        } else {
            v.active = false;
            v.finished = true;
            RemoveRunning(v);
        }
    }
}

void Mixer::Clear() {
    running_.clear();
    voices_.clear();
    next_ = 1;
    sweepAt_ = 256;
}

}  // namespace plat::audio
