#include "sim/device_settings.h"

#include <cstdio>

#include "sim/words.h"

namespace zav::sim {

bool add_fault(Faults& faults, const std::vector<std::string>& words) {
    if (words.empty()) return false;
    const std::string& name = words[0];
    long n = 0, m = 0;
    bool has_n = words.size() >= 2 && parse_number(words[1], n);
    if (name == "silent") faults.silent = true;
    else if (name == "reject") faults.reject_commands = true;
    else if (name == "bad-check") faults.bad_check = true;
    else if (name == "out-of-order") faults.read_out_of_order = true;
    else if (name == "refuse-setup") faults.refuse_setup = true;
    else if (name == "ignore-setup") faults.ignore_setup = true;
    else if (name == "stall-setup") faults.stall_setup = true;
    else if (name == "stall-block" && has_n) faults.program_stall_block = static_cast<int32_t>(n);
    else if (name == "wrong-length" && has_n) faults.wrong_length_idents = static_cast<uint32_t>(n);
    else if (name == "read-silent-after" && has_n) faults.read_silent_after = static_cast<int32_t>(n);
    else if (name == "vanish-after-frames" && has_n && n >= 1)
        faults.vanish_after_frames = static_cast<int32_t>(n);
    else if (name == "refuse-block" && has_n) faults.program_refuse_block = static_cast<int32_t>(n);
    else if (name == "silent-block" && has_n) faults.program_silent_block = static_cast<int32_t>(n);
    else if (name == "request" && has_n) {
        faults.program_request_block = static_cast<int32_t>(n);
        faults.program_requested = static_cast<int32_t>(n);
        if (words.size() >= 3) {
            if (!parse_number(words[2], m)) return false;
            faults.program_requested = static_cast<int32_t>(m);
        }
    } else return false;
    return true;
}

bool set_setup(Device& device, const std::string& text) { return parse_hex(text, device.setup, kSetupBytes); }

bool set_options(Device& device, const std::string& text) {
    uint8_t bytes[2];
    if (!parse_hex(text, bytes, 2)) return false;
    device.setup[0] = bytes[0];
    device.setup[1] = bytes[1];
    seal_setup(device.setup);
    return true;
}

bool set_version(Device& device, const std::string& text) {
    unsigned major = 0, minor = 0;
    char tail = 0;
    if (sscanf(text.c_str(), "%u.%u%c", &major, &minor, &tail) != 2 || major > 255 || minor > 255) return false;
    device.setup[3] = static_cast<uint8_t>(major);
    device.setup[4] = static_cast<uint8_t>(minor);
    return true;
}

bool set_record(Device& device, const std::string& text) {
    uint8_t record[kRecordBytes];
    if (!parse_hex(text, record, sizeof record)) return false;
    store_record(device, record);
    return true;
}

bool set_noise(LineNoise& noise, const std::vector<std::string>& words) {
    long n = 0;
    if (words.size() == 2 && words[1] == "off") {
        clear_noise(noise);
        return true;
    }
    if (words.size() == 3 && words[1] == "seed" && parse_number(words[2], n)) {
        set_noise_seed(noise, static_cast<uint32_t>(n));
        return true;
    }
    if ((words.size() == 3 || (words.size() == 4 && words[3] == "to-program")) && words[1] == "random" &&
        parse_number(words[2], n) && n >= 0 && n <= 100) {
        noise.random_percent = static_cast<uint32_t>(n);
        noise.random_to_program = words.size() == 4;
        return true;
    }
    if (words.size() != 4 || !parse_number(words[3], n) || n < 0) return false;
    const bool to_device = words[2] == "to-device";
    if (!to_device && words[2] != "to-program") return false;
    NoiseKind kind;
    if (words[1] == "garbage" && !to_device) kind = NoiseKind::garbage;
    else if (words[1] == "corrupt" && !to_device) kind = NoiseKind::corrupt;
    else if (words[1] == "drop") kind = NoiseKind::drop;
    else if (words[1] == "duplicate") kind = NoiseKind::duplicate;
    else return false;
    set_one_shot_noise(noise, kind, to_device, static_cast<uint32_t>(n));
    return true;
}

}  // namespace zav::sim
