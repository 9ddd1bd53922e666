#include "options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <optional>

namespace rxsim {

namespace {

template <typename T> std::optional<T> parseInteger(std::string_view text) {
    T value{};
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

std::optional<double> parseNumber(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

bool parseProbability(const std::string& name, const std::string& text, double& out,
                      std::string& error) {
    const auto value = parseNumber(text);
    if (!value || *value < 0 || *value > 1) {
        error = "--" + name + ": expected a probability 0..1, got \"" + text + "\"";
        return false;
    }
    out = *value;
    return true;
}

} // namespace

const char* usageText() {
    return "usage: rxsim [--model rx200|rx100|rx300] [--link PATH] [--log FILE]\n"
           "             [--pidfile FILE] [--pad] [--no-pace] [--latency-ms X] [--silent]\n"
           "             [--set W=V[,W=V...]] [--seed N] [--drop P] [--corrupt P]\n"
           "             [--split P] [--wrong-tag P] [--noise P] [--flip P] [--mute W[,W...]]\n"
           "             [--step M=V@S[,M=V@S...]]\n"
           "  --mute W,...   reads of these words (M151, E28) get no answer\n"
           "  --step M=V@S   S seconds after the start, memory word M moves to V as an input\n"
           "                 settles after a step (M15=2400@10: most of the way in 2 s)\n"
           "Faults, each with probability P per reply and all drawn from --seed:\n"
           "  --drop P       the reply is not sent\n"
           "  --corrupt P    one byte of the reply, not its CR, is changed\n"
           "  --split P      the reply goes out in two pieces, 20 ms apart\n"
           "  --wrong-tag P  the reply's tag letter is swapped (M for E, E for M)\n"
           "  --noise P      1 to 12 random bytes go out just before the reply (also before\n"
           "                 a dropped one); about one in eight of them is a CR, so noise can\n"
           "                 end a reply early or make two of one\n"
           "  --flip P       one digit of the reply's value becomes another digit: the reply\n"
           "                 still names its word and reads as a value, a wrong one\n";
}

namespace {
// Calls `take` for each comma-separated item until it returns false.
template <typename Take> bool eachItem(std::string_view text, Take take) {
    for (std::size_t pos = 0;;) {
        const std::size_t comma = text.find(',', pos);
        if (!take(text.substr(pos, comma == std::string_view::npos ? std::string_view::npos
                                                                   : comma - pos)))
            return false;
        if (comma == std::string_view::npos) return true;
        pos = comma + 1;
    }
}
} // namespace

bool parseWordSettings(std::string_view text, std::vector<WordSetting>& out, std::string& error) {
    return eachItem(text, [&](std::string_view item) {
        const std::size_t eq = item.find('=');
        const auto fail = [&] {
            error = "--set: expected W=V like M15=1234 or E28=0, got \"" + std::string(item) + "\"";
            return false;
        };
        if (eq == std::string_view::npos || eq < 2) return fail();
        const char space = item[0];
        if (space != 'M' && space != 'E') return fail();
        const auto word = parseInteger<unsigned>(item.substr(1, eq - 1));
        const auto value = parseInteger<unsigned>(item.substr(eq + 1));
        if (!word || *word > 255 || !value || *value > 65535) return fail();
        out.push_back(
            {space, static_cast<std::uint8_t>(*word), static_cast<std::uint16_t>(*value)});
        return true;
    });
}

bool parseWordSteps(std::string_view text, std::vector<WordStep>& out, std::string& error) {
    return eachItem(text, [&](std::string_view item) {
        const std::size_t at = item.find('@');
        std::vector<WordSetting> setting;
        const auto seconds = at == std::string_view::npos
                                 ? std::nullopt
                                 : parseNumber(std::string(item.substr(at + 1)));
        std::string ignored;
        if (!seconds || *seconds < 0 || item[0] != 'M' ||
            !parseWordSettings(item.substr(0, at), setting, ignored)) {
            error = "--step: expected M=V@S like M15=2400@10, got \"" + std::string(item) + "\"";
            return false;
        }
        out.push_back({setting[0].word, setting[0].value, *seconds});
        return true;
    });
}

bool parseWordList(std::string_view text, std::vector<WordRef>& out, std::string& error) {
    return eachItem(text, [&](std::string_view item) {
        const auto word = item.size() >= 2 ? parseInteger<unsigned>(item.substr(1)) : std::nullopt;
        if (!word || *word > 255 || (item[0] != 'M' && item[0] != 'E')) {
            error = "--mute: expected words like M151 or E28, got \"" + std::string(item) + "\"";
            return false;
        }
        out.push_back({item[0], static_cast<std::uint8_t>(*word)});
        return true;
    });
}

bool parseOptions(const std::vector<std::string>& args, Options& out, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (name.rfind("--", 0) != 0) {
            error = "unexpected argument \"" + name + "\"";
            return false;
        }
        name.erase(0, 2);
        if (const auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        bool flag = true;
        if (name == "pad")
            out.pad = true;
        else if (name == "no-pace")
            out.pace = false;
        else if (name == "silent")
            out.silent = true;
        else if (name == "help")
            out.help = true;
        else
            flag = false;
        if (flag) {
            if (inlineValue) {
                error = "--" + name + " takes no value";
                return false;
            }
            continue;
        }

        static constexpr std::string_view kValueOptions[] = {
            "model",   "link",  "log",   "pidfile",   "latency-ms", "set",  "seed", "drop",
            "corrupt", "split", "noise", "wrong-tag", "mute",       "flip", "step"};
        if (std::find(std::begin(kValueOptions), std::end(kValueOptions), name) ==
            std::end(kValueOptions)) {
            error = "unknown option --" + name;
            return false;
        }
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = "--" + name + " needs a value";
            return false;
        }

        if (name == "model") {
            const auto model = modelFromName(value);
            if (!model) {
                error = "--model: expected rx200, rx100 or rx300, got \"" + value + "\"";
                return false;
            }
            out.model = *model;
        } else if (name == "link") {
            out.link = value;
        } else if (name == "log") {
            out.log = value;
        } else if (name == "pidfile") {
            out.pidfile = value;
        } else if (name == "latency-ms") {
            const auto ms = parseNumber(value);
            if (!ms || *ms < 0 || *ms > 60000) {
                error = "--latency-ms: expected milliseconds 0..60000, got \"" + value + "\"";
                return false;
            }
            out.latencyMs = *ms;
        } else if (name == "set") {
            if (!parseWordSettings(value, out.settings, error)) return false;
        } else if (name == "step") {
            if (!parseWordSteps(value, out.steps, error)) return false;
        } else if (name == "mute") {
            if (!parseWordList(value, out.muted, error)) return false;
        } else if (name == "seed") {
            const auto seed = parseInteger<std::uint64_t>(value);
            if (!seed) {
                error = "--seed: expected a whole number, got \"" + value + "\"";
                return false;
            }
            out.faults.seed = *seed;
        } else if (name == "drop") {
            if (!parseProbability(name, value, out.faults.drop, error)) return false;
        } else if (name == "corrupt") {
            if (!parseProbability(name, value, out.faults.corrupt, error)) return false;
        } else if (name == "split") {
            if (!parseProbability(name, value, out.faults.split, error)) return false;
        } else if (name == "noise") {
            if (!parseProbability(name, value, out.faults.noise, error)) return false;
        } else if (name == "flip") {
            if (!parseProbability(name, value, out.faults.flip, error)) return false;
        } else if (!parseProbability(name, value, out.faults.wrongTag, error)) {
            return false; // --wrong-tag, the last one in the list above
        }
    }
    return true;
}

} // namespace rxsim
