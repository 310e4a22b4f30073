#pragma once

// The maker's support mailbox, where the feedback window's mail goes.
inline constexpr char kSupportAddress[] = "support@trivorn.test";
