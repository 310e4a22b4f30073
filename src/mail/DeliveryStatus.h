#pragma once
#include <string>
#include <string_view>
#include <vector>

// Delivery status notifications (RFC 3464): a mail the server took at first
// may still not reach its recipient, and the provider says so in a report
// of its own to the sender.

struct FailedDelivery {
    std::string address;      // Final-Recipient, without its address type
    std::string status;       // Status, as "5.1.1"
    std::string diagnostic;   // Diagnostic-Code, without its type: the far server's words
};

// A report as the provider sends it: its machine-readable part, and the
// returned message (or its header section) it speaks of.
struct DeliveryReport {
    std::string status;
    std::string returned;
};

// The Message-ID of the returned message, as it stands; empty without one.
// It tells a report on this round's mail from one left over from another.
std::string ReturnedMessageId(std::string_view returned);

// The recipients a report's machine-readable part ("message/delivery-status")
// says failed for good (Action: failed), in the order it names them.
std::vector<FailedDelivery> FailedDeliveries(std::string_view deliveryStatus);
