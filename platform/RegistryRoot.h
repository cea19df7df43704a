#pragma once

namespace trov::platform {

// The two roots of the registry stand-in: the machine-wide store and the per-user store.
enum class RegistryRoot { Machine = 0, User = 1 };

} // namespace trov::platform
