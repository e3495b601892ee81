#pragma once

// Permissions that hold for a test run by root as they hold for an operator.
// Root passes every permission check through the capability CAP_DAC_OVERRIDE,
// so a read-only folder stops nobody in a test run as root; while a
// PermissionChecks lives, the calling thread leaves that capability out of
// its effective set and the kernel checks its writes as it checks anyone's.
// Elsewhere (not Linux, not root, or without the capability) it does nothing.
#ifdef __linux__
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace tarnwick::testing {

class PermissionChecks {
public:
    PermissionChecks()
    {
#ifdef __linux__
        // The effective set only: the permitted set keeps it, so that it can be taken back.
        if (::syscall(SYS_capget, &header_, data_) != 0 || !(data_[0].effective & kOverride))
            return;
        __user_cap_data_struct without[2] = {data_[0], data_[1]};
        without[0].effective &= ~kOverride;
        dropped_ = ::syscall(SYS_capset, &header_, without) == 0;
#endif
    }
    ~PermissionChecks()
    {
#ifdef __linux__
        if (dropped_)
            ::syscall(SYS_capset, &header_, data_);
#endif
    }
    PermissionChecks(const PermissionChecks&) = delete;
    PermissionChecks& operator=(const PermissionChecks&) = delete;

private:
#ifdef __linux__
    static constexpr unsigned kOverride = 1u << CAP_DAC_OVERRIDE;
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data_[2]{};
    bool dropped_ = false;
#endif
};

} // namespace tarnwick::testing
