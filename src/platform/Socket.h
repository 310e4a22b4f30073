#pragma once
#include <functional>
#include <string>
#include <vector>

// Why a server's certificate was refused.
struct CertificateRefusal {
    // The problems the operator is told of in words of their own; anything
    // else the checks found is Other.
    enum class Problem { SelfSigned, Expired, NotYetValid, WrongHost, UnknownIssuer, Other };
    std::vector<Problem> problems;
    std::string description;   // the TLS library's own words (Shift_JIS)
    std::string fingerprint;   // "AB:CD:…", as trustedFingerprints holds them
};

// An event-driven TCP client socket with the operations and events of the
// classic Winsock control: set the remote end, connect, send bytes, read every
// waiting byte, close; events for connection made, data arrival, closed by the
// peer and error.
class Socket {
public:
    enum class State { Closed, Connecting, Connected, Closing, Error };

    virtual ~Socket() = default;

    std::string remoteHost;
    int remotePort = 0;
    int localPort = 0;   // 0: any free port

    virtual State state() const = 0;
    bool isClosed() const { return state() == State::Closed; }

    // Connects to remoteHost:remotePort. The outcome arrives as onConnect or onError.
    virtual void connect() = 0;
    virtual void sendData(const std::string& bytes) = 0;
    // Every byte that has arrived and not yet been read.
    virtual std::string getData() = 0;
    virtual void close() = 0;
    // The address of this end of the open connection ("192.0.2.7", "::1");
    // empty when there is none.
    virtual std::string localAddress() const = 0;

    std::function<void()> onConnect;
    std::function<void()> onDataArrival;
    std::function<void()> onClose;   // the peer closed the connection
    std::function<void(int number, const std::string& description)> onError;

    // ---- TLS ----
    // Providers of today speak TLS: from the first byte (ports 465 and 995),
    // or after the dialogue asked for it (STARTTLS, STLS). The certificate
    // must chain to a certificate the system trusts and name tlsServerName,
    // unless its SHA-256 fingerprint is one the operator chose to trust.

    // Set before connect(): TLS from the first byte. onConnect then comes
    // only once the connection is encrypted and the certificate accepted.
    bool implicitTls = false;
    // The name the server's certificate must carry (the server as set up).
    std::string tlsServerName;
    // Fingerprints ("AB:CD:…", upper-case hex, SHA-256 of the DER
    // certificate) accepted even when the certificate fails the checks.
    std::vector<std::string> trustedFingerprints;

    // Starts TLS on the open connection (the server has agreed to it); the
    // outcome arrives as onEncrypted, or as onCertificateRefused / onError.
    virtual void startTls() = 0;
    // Bytes sent and received are encrypted from now on.
    virtual bool isEncrypted() const = 0;

    std::function<void()> onEncrypted;
    // The certificate failed its checks and its fingerprint is not trusted:
    // what failed and the fingerprint, so the operator can decide. The
    // connection is closed; no onError follows.
    std::function<void(const CertificateRefusal& refusal)> onCertificateRefused;
};
