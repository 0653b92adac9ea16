#pragma once
// An update server for Tillerset: HTTP/1.0 over TCP, serving the files of a
// folder (the online script ts_servers.ini, firmware .hex files, whatever a
// maker puts there) with the header layout the program reads:
//
//   HTTP/1.0 200 OK\r\n
//   Server: tillerset-update-server\r\n
//   Content-Length: <n>\r\n
//   Content-Type: text/plain\r\n      (the last header unless told otherwise)
//   \r\n
//   <the file's bytes>
//
// A missing file gets a 404 with a text/plain page, like a real web server's
// error page. Every request is logged with its bytes exactly (escaped), and
// the server can be told to misbehave the way a test needs: answer late,
// hang, close early, send another Content-Type or none, more headers after
// it, bare "\n" line ends, a Content-Length that is not the body's, another
// status or a large generated body. POSIX only (update_server_posix.cpp); main.cpp is the program.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct UpdateServerOptions {
  std::string root = ".";            // the folder served
  std::string address = "127.0.0.1";  // IPv4 address to listen on
  uint16_t port = 80;                 // 0: any free port (see Port())
  std::string log;                    // request log file; empty = none
  std::string controlPath;            // FIFO (made when missing) read for control lines
  bool echo = false;                  // log lines to standard error as well
};

// One request as the server saw it.
struct ServedRequest {
  std::string bytes;   // everything received before the answer (the whole request)
  std::string target;  // the request line's target ("http://host/path" or "/path")
  int status = 0;      // status answered; 0 when none was sent
  size_t bodyBytes = 0;
};

class UpdateServer {
 public:
  explicit UpdateServer(UpdateServerOptions options);
  ~UpdateServer();  // Stop()
  UpdateServer(const UpdateServer&) = delete;
  UpdateServer& operator=(const UpdateServer&) = delete;

  // Binds and starts serving; false with *error when it cannot listen.
  bool Start(std::string* error);
  // Ends every connection (a hanging one too) and the server.
  void Stop();
  uint16_t Port() const;

  // Applies a control line (see UpdateServerControlHelp); false with *error.
  bool Control(const std::string& line, std::string* error = nullptr);
  std::vector<ServedRequest> Requests();
  bool QuitRequested();

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// The request bytes as a log line shows them: printable ASCII as it is,
// CR, LF, TAB and backslash as \r \n \t \\, anything else as \xHH.
std::string EscapeRequestBytes(const std::string& bytes);
// The control language, as --help prints it.
const char* UpdateServerControlHelp();
