#pragma once
// IPv4 TCP client in non-blocking mode with bounded waits, single-call send
// and receive, and shut-down-and-close on every failure.
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

struct sockaddr_in;

namespace tvx {

class SocketException : public std::exception {
  public:
    // mensagemSistema appends ": " and strerror(errno).
    explicit SocketException(const std::string& texto, bool mensagemSistema = false);
    ~SocketException() override;
    const char* what() const noexcept override;

  private:
    std::string texto_;
};

class TcpSocket {
  public:
    TcpSocket();  // throws SocketException
    ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    void SetTimeout(int segundos);
    // Asked every tenth of a second while a wait lasts: true ends the wait
    // as a time-out would (a stop of the run).
    void SetStopQuery(std::function<bool()> parar) { parar_ = std::move(parar); }
    int Timeout() const { return timeout_; }
    bool IsValid() const;
    // Throws SocketException when the host cannot be resolved.
    bool Connect(const std::string& host, uint16_t porta);
    bool Send(const uint8_t* buffer, int tamanho);
    int Receive(uint8_t* buffer, int capacidade);
    // Drops the bytes already waiting, without waiting for more: the tail of
    // a reply longer than the receive capacity. Never closes the socket.
    void DiscardInput();
    bool WaitReadable();
    int Shutdown();
    int Close();
    static void FillAddress(const std::string& host, uint16_t porta, sockaddr_in& endereco);

    int Handle() const { return handle_; }

  private:
    bool WaitConnected();

    int handle_ = -1;
    int timeout_ = 60;
    std::function<bool()> parar_;
};

}  // namespace tvx
