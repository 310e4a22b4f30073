#pragma once
#include <string>
#include <vector>

#include "platform/Socket.h"

// A socket with no network behind it. It records what the code under test
// sends and lets the test play the server: accept the connection, deliver
// bytes in chunks of its choosing, close from the far end, raise errors.
class FakeSocket : public Socket {
public:
    State state() const override { return state_; }
    void connect() override;
    void sendData(const std::string& bytes) override;
    std::string getData() override;
    void close() override;
    std::string localAddress() const override { return ownAddress; }
    void startTls() override { ++startTlsCalls; }
    bool isEncrypted() const override { return encrypted_; }

    // The server's side.
    void acceptConnection();                       // Connected, fires onConnect
    void deliver(const std::string& bytes);        // queues bytes, fires onDataArrival
    // Delivers `bytes` split into pieces of at most `size` bytes, one arrival each.
    void deliverInPieces(const std::string& bytes, std::size_t size);
    void peerClose();                              // Closed, fires onClose
    void raiseError(int number, const std::string& description);
    void completeTls();                            // encrypted from now on, fires onEncrypted
    void refuseCertificate(const CertificateRefusal& refusal);   // closed, fires onCertificateRefused

    // What the client did.
    std::vector<std::string> sends;   // one entry per sendData call
    std::string sentText() const;     // every send joined
    int connectCalls = 0;
    int closeCalls = 0;
    int startTlsCalls = 0;
    int sendsBeforeTls = -1;   // sends when completeTls() ran; -1: never
    std::string connectedHost;
    std::string ownAddress = "192.0.2.7";   // this end's address, as the connection has it
    int connectedPort = 0;

private:
    State state_ = State::Closed;
    bool encrypted_ = false;
    std::string pending_;
};
