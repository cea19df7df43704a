#pragma once

#include "framework/Version.h"

#include <string>

namespace trov {

// The product descriptor's identity texts, as the framework's lower layers need them (log file name,
// document creator, message box captions). The product descriptor implements it and registers itself
// process-wide; tests install a double.
class ProductIdentity {
public:
    virtual ~ProductIdentity() = default;
    virtual std::string getName() const = 0;
    virtual std::string getMakerName() const = 0;
    virtual std::string getVersionString() const = 0;
    virtual Version getVersion() const { return Version(getVersionString()); }
    virtual Version getFileFormatVersion() const { return Version("0.7.0"); }
};

// The registered identity; a fallback naming an unnamed product before one is registered.
const ProductIdentity& getProductIdentity();
// Registers the identity (not owned); null restores the fallback.
void setProductIdentity(const ProductIdentity* identity);

} // namespace trov
