#pragma once

// Whether another copy of the program is already running from the same folder.
class InstanceGuard {
public:
    virtual ~InstanceGuard() = default;
    // True when this copy is the only one; it then holds the claim until it ends.
    virtual bool claim() = 0;
};
