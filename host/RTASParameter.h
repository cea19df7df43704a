#pragma once

#include "platform/hostsdk/HostSdk.h"

#include <cstdint>
#include <list>
#include <string>

namespace trov {

class Color;
class Parameter;
class Plugin;

// One automatable parameter of an instance shown to the host as a host control: its number, names of a
// given length, value text and automatability, and the host's 32-bit fixed-point values. Made and owned by
// the process (through the library's control list); the parameter belongs to the instance, which outlives
// its controls. Host's user-interface thread.
class RTASParameter : public hostsdk::CProcessControl {
public:
    RTASParameter(Parameter* parameter, const Plugin* plugin);

    // Host value to normalised: INT32_MIN is 0.0, 0 is 0.5.
    static float normalized(std::int32_t value) noexcept;
    // Normalised to host value, rounded to nearest (ties to even); saturates outside 0..1 (NaN gives 0.0).
    static std::int32_t fixed(float value) noexcept;
    // The host's highlight colour code as a colour; off or an unknown code is the "none" colour.
    static Color highlightColor(bool on, std::int32_t code);
    // prefix + the first alias that fits room + suffix, or the first alias cut to the room; the room never
    // goes below 0.
    static std::string nameOfLength(const std::string& prefix, const std::list<std::string>& aliases,
                                    const std::string& suffix, std::int32_t length);

    std::int32_t GetControlNumber() const override;
    void GetNameOfLength(char* name, std::int32_t length) const override;
    void GetValueString(char* text, std::int32_t length) const override;
    bool IsAutomatable() const override;
    std::int32_t GetValue() const override;

    Parameter* getParameter() const { return parameter_; }

private:
    Parameter* parameter_;
    const Plugin* plugin_;
};

// Copies text into a host buffer of length bytes: at most length - 1 characters and a terminating zero,
// the rest of the buffer cleared; nothing for length <= 0.
void copyToHostBuffer(const std::string& text, char* buffer, std::int32_t length) noexcept;

} // namespace trov
