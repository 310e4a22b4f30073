#include "mail/SessionWiring.h"

#include "mail/RuntimeFault.h"

void wireSession(MailSession& session, Socket& socket, Timer& timer, SocketErrorPolicy onError)
{
    socket.onConnect = [&session] { session.connected(); };
    socket.onDataArrival = [&session] { session.dataArrived(); };
    socket.onClose = [&session] { session.closedByPeer(); };
    if (onError == SocketErrorPolicy::EndSession)
        socket.onError = [&session](int n, const std::string& d) { session.abort(faultMessage(n, d)); };
    else
        socket.onError = [&session](int n, const std::string& d) { session.socketError(n, d); };
    socket.onEncrypted = [&session] { session.encrypted(); };
    socket.onCertificateRefused = [&session](const CertificateRefusal& r) { session.certificateRefused(r); };
    timer.onTimer = [&session] { session.timerTick(); };
}
