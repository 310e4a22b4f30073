#include "support/FakeSocket.h"

void FakeSocket::connect()
{
    ++connectCalls;
    connectedHost = remoteHost;
    connectedPort = remotePort;
    state_ = State::Connecting;
    encrypted_ = false;
}

void FakeSocket::sendData(const std::string& bytes)
{
    sends.push_back(bytes);
}

std::string FakeSocket::getData()
{
    std::string out;
    out.swap(pending_);
    return out;
}

void FakeSocket::close()
{
    ++closeCalls;
    state_ = State::Closed;
    pending_.clear();
}

void FakeSocket::acceptConnection()
{
    state_ = State::Connected;
    if (onConnect) onConnect();
}

void FakeSocket::deliver(const std::string& bytes)
{
    pending_ += bytes;
    if (onDataArrival) onDataArrival();
}

void FakeSocket::deliverInPieces(const std::string& bytes, std::size_t size)
{
    for (std::size_t i = 0; i < bytes.size(); i += size) deliver(bytes.substr(i, size));
}

void FakeSocket::peerClose()
{
    state_ = State::Closed;
    if (onClose) onClose();
}

void FakeSocket::completeTls()
{
    encrypted_ = true;
    sendsBeforeTls = int(sends.size());
    if (onEncrypted) onEncrypted();
}

void FakeSocket::refuseCertificate(const CertificateRefusal& refusal)
{
    state_ = State::Closed;
    if (onCertificateRefused) onCertificateRefused(refusal);
}

void FakeSocket::raiseError(int number, const std::string& description)
{
    if (onError) onError(number, description);
}

std::string FakeSocket::sentText() const
{
    std::string all;
    for (const auto& s : sends) all += s;
    return all;
}
