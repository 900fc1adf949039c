#!/usr/bin/env python3
"""A small database server that speaks TDS 7.x, for the tests of the ODBC engine.

It answers the pre-login and the login of a client (FreeTDS through unixODBC),
and runs the few statements the program sends, on files:

  SELECT "f1", "f2", ... FROM "Alias_Zelvo"    rows of DATA_DIR/Alias_Zelvo.txt
  BACKUP DATABASE name TO DISK = 'file'        appends a backup set of
                                               DATA_DIR/name.mdf to the file
  RESTORE DATABASE name FROM DISK = 'file'     replaces DATA_DIR/name.mdf with
                                               the first backup set of the file
  RESTORE VERIFYONLY FROM DISK = 'file'        checks the first backup set
  SET ...                                      accepted and ignored

Anything else is answered with error 102 (incorrect syntax). Failures come back
as ERROR tokens with the numbers, classes and texts a SQL Server uses.

A backup set is "TDSTESTBAK1" + 8-byte length + 4-byte CRC-32 + the bytes of
the database file, so a damaged set is found by RESTORE and VERIFYONLY.

Alias_Zelvo.txt holds one row per line, fields separated by '|', in the order
aliasID|DatabaseNames|DatabaseDesc|DatabasePath|SortId (UTF-8).

Faults, each switched on with --fault NAME (several may be given):
  in-use              RESTORE DATABASE fails: the database is in use
  fail-after-result   BACKUP DATABASE reports a first result, then fails
  damage-backups      BACKUP DATABASE writes a set whose checksum is wrong
  hang-after-login=N  the first N logins are served; later connections are
                      accepted and never answered

Usage: tds_test_server.py DATA_DIR [--fault NAME]...
The server listens on a free port of 127.0.0.1, prints it on the first line
of standard output, and runs until it is killed.
"""

import argparse
import os
import re
import socketserver
import struct
import sys
import threading
import zlib

# Packet types.
PT_BATCH = 0x01
PT_REPLY = 0x04
PT_ATTENTION = 0x06
PT_LOGIN7 = 0x10
PT_PRELOGIN = 0x12
STATUS_EOM = 0x01

# Tokens.
TK_COLMETADATA = 0x81
TK_ERROR = 0xAA
TK_INFO = 0xAB
TK_LOGINACK = 0xAD
TK_ROW = 0xD1
TK_ENVCHANGE = 0xE3
TK_DONE = 0xFD

DONE_FINAL = 0x00
DONE_MORE = 0x01
DONE_ERROR = 0x02
DONE_COUNT = 0x10
DONE_ATTN = 0x20

TDS74 = 0x74000004
PACKET_SIZE = 4096
SERVER_NAME = "TDSTEST"
# Latin1_General_CI_AS
COLLATION = bytes([0x09, 0x04, 0xD0, 0x00, 0x34])
BACKUP_MAGIC = b"TDSTESTBAK1"


def b_varchar(text):
    data = text.encode("utf-16-le")
    return bytes([len(data) // 2]) + data


def us_varchar(text):
    data = text.encode("utf-16-le")
    return struct.pack("<H", len(data) // 2) + data


def token_with_length(token, body):
    return bytes([token]) + struct.pack("<H", len(body)) + body


def message(token, number, state, klass, text, line=1):
    body = (struct.pack("<iBB", number, state, klass) + us_varchar(text) +
            b_varchar(SERVER_NAME) + b_varchar("") + struct.pack("<i", line))
    return token_with_length(token, body)


def error(number, text, klass=16, state=1):
    return message(TK_ERROR, number, state, klass, text)


def info(number, text):
    return message(TK_INFO, number, 1, 0, text)


def done(status=DONE_FINAL, rows=0, command=0xC1):
    return bytes([TK_DONE]) + struct.pack("<HHQ", status, command, rows)


def envchange(kind, new, old):
    return token_with_length(TK_ENVCHANGE, bytes([kind]) + b_varchar(new) + b_varchar(old))


class ServerError(Exception):
    """A statement failed: the ERROR tokens to send."""

    def __init__(self, *tokens):
        super().__init__()
        self.tokens = b"".join(tokens)


def terminating(statement):
    return error(3013, statement + " is terminating abnormally.")


class Server:
    def __init__(self, data_dir, faults):
        self.data_dir = data_dir
        self.faults = faults
        self.lock = threading.Lock()
        self.logins = 0

    def hang_after(self):
        for fault in self.faults:
            if fault.startswith("hang-after-login="):
                return int(fault.split("=", 1)[1])
        return None

    def database_file(self, name):
        if not re.fullmatch(r"[A-Za-z_@#][A-Za-z0-9_@#$]*", name):
            raise ServerError(error(911, "Database '%s' does not exist. Make sure that the name "
                                         "is entered correctly." % name))
        return os.path.join(self.data_dir, name + ".mdf")

    # --- statements -------------------------------------------------------

    def run(self, text):
        """The reply tokens of one batch."""
        name = r"(?:\[((?:[^\]]|\]\])+)\]|([A-Za-z_@#][A-Za-z0-9_@#$]*))"
        path = r"'((?:[^']|'')*)'"
        try:
            m = re.fullmatch(r"\s*SET\s.*", text, re.I | re.S)
            if m:
                return done()
            m = re.fullmatch(r"\s*SELECT\s+(.+?)\s+FROM\s+\"?(\w+)\"?\s*", text, re.I | re.S)
            if m:
                return self.select(m.group(1), m.group(2))
            m = re.fullmatch(r"\s*BACKUP\s+DATABASE\s+%s\s+TO\s+DISK\s*=\s*%s\s*" % (name, path),
                             text, re.I | re.S)
            if m:
                return self.backup(unbracket(m), m.group(3).replace("''", "'"))
            m = re.fullmatch(r"\s*RESTORE\s+VERIFYONLY\s+FROM\s+DISK\s*=\s*%s\s*" % path,
                             text, re.I | re.S)
            if m:
                return self.verify(m.group(1).replace("''", "'"))
            m = re.fullmatch(r"\s*RESTORE\s+DATABASE\s+%s\s+FROM\s+DISK\s*=\s*%s\s*" % (name, path),
                             text, re.I | re.S)
            if m:
                return self.restore(unbracket(m), m.group(3).replace("''", "'"))
            raise ServerError(error(102, "Incorrect syntax near '%s'." % text.strip()[:30]))
        except ServerError as e:
            return e.tokens + done(DONE_ERROR)

    def select(self, fields, table):
        names = [f.strip().strip('"') for f in fields.split(",")]
        if table != "Alias_Zelvo":
            raise ServerError(error(208, "Invalid object name '%s'." % table))
        rows = []
        try:
            with open(os.path.join(self.data_dir, "Alias_Zelvo.txt"), encoding="utf-8") as f:
                rows = [line.rstrip("\n").split("|") for line in f if line.strip()]
        except FileNotFoundError:
            pass
        order = ["aliasID", "DatabaseNames", "DatabaseDesc", "DatabasePath", "SortId"]
        for n in names:
            if n not in order:
                raise ServerError(error(207, "Invalid column name '%s'." % n))
        reply = bytearray([TK_COLMETADATA]) + struct.pack("<H", len(names))
        for n in names:
            # user type, flags (nullable), NVARCHAR(100) with its collation, name
            reply += struct.pack("<IH", 0, 0x0001) + bytes([0xE7]) + struct.pack("<H", 200)
            reply += COLLATION + b_varchar(n)
        for row in rows:
            reply.append(TK_ROW)
            for n in names:
                i = order.index(n)
                value = row[i] if i < len(row) else None
                if value is None:
                    reply += struct.pack("<H", 0xFFFF)
                else:
                    data = value.encode("utf-16-le")
                    reply += struct.pack("<H", len(data)) + data
        return bytes(reply) + done(DONE_COUNT, len(rows))

    def backup(self, database, device):
        source = self.database_file(database)
        if not os.path.isfile(source):
            raise ServerError(error(911, "Database '%s' does not exist." % database),
                              terminating("BACKUP DATABASE"))
        with open(source, "rb") as f:
            data = f.read()
        crc = zlib.crc32(data)
        if "damage-backups" in self.faults:
            crc ^= 1
        backup_set = BACKUP_MAGIC + struct.pack("<QI", len(data), crc) + data
        pages = len(data) // 8192 + 1
        processed = info(4035, "Processed %d pages for database '%s', file '%s' on file 1."
                         % (pages, database, database))
        if "fail-after-result" in self.faults:
            # The first step is reported as done before the device fails.
            return (processed + done(DONE_MORE) +
                    error(3201, "Cannot open backup device '%s'. Operating system error "
                                "112(There is not enough space on the disk.)." % device) +
                    terminating("BACKUP DATABASE") + done(DONE_ERROR))
        try:
            # Without WITH INIT a backup set is appended to an existing file.
            with open(device, "ab") as f:
                f.write(backup_set)
        except OSError as e:
            raise ServerError(error(3201, "Cannot open backup device '%s'. Operating system "
                                          "error %d(%s)." % (device, e.errno, e.strerror)),
                              terminating("BACKUP DATABASE"))
        return processed + info(3014, "BACKUP DATABASE successfully processed %d pages." %
                                pages) + done()

    def first_set(self, device, statement):
        try:
            with open(device, "rb") as f:
                head = f.read(len(BACKUP_MAGIC) + 12)
                if len(head) < len(BACKUP_MAGIC) + 12 or not head.startswith(BACKUP_MAGIC):
                    raise ServerError(error(3241, "The media family on device '%s' is "
                                                  "incorrectly formed. SQL Server cannot "
                                                  "process this media family." % device),
                                      terminating(statement))
                length, crc = struct.unpack("<QI", head[len(BACKUP_MAGIC):])
                data = f.read(length)
        except OSError as e:
            raise ServerError(error(3201, "Cannot open backup device '%s'. Operating system "
                                          "error %d(%s)." % (device, e.errno, e.strerror)),
                              terminating(statement))
        if len(data) != length or zlib.crc32(data) != crc:
            raise ServerError(error(3189, "Damage to the backup set was detected."),
                              terminating(statement))
        return data

    def verify(self, device):
        self.first_set(device, "VERIFY DATABASE")
        return info(3262, "The backup set on file 1 is valid.") + done()

    def restore(self, database, device):
        target = self.database_file(database)
        if database == "master":
            raise ServerError(error(3108, "To restore the master database, the server must be "
                                          "running in single-user mode."),
                              terminating("RESTORE DATABASE"))
        if "in-use" in self.faults:
            raise ServerError(error(3101, "Exclusive access could not be obtained because the "
                                          "database is in use."),
                              terminating("RESTORE DATABASE"))
        data = self.first_set(device, "RESTORE DATABASE")
        partial = target + ".part"
        with open(partial, "wb") as f:
            f.write(data)
        os.replace(partial, target)
        pages = len(data) // 8192 + 1
        return info(3014, "RESTORE DATABASE successfully processed %d pages." % pages) + done()


def unbracket(match):
    if match.group(1) is not None:
        return match.group(1).replace("]]", "]")
    return match.group(2)


class Connection(socketserver.BaseRequestHandler):
    def handle(self):
        server = self.server.tds
        with server.lock:
            hang_after = server.hang_after()
            hang = hang_after is not None and server.logins >= hang_after
        if hang:
            # Accepted, never answered: read until the client gives up.
            try:
                while self.request.recv(4096):
                    pass
            except OSError:
                pass
            return
        try:
            while True:
                kind, payload = self.read_message()
                if kind is None:
                    return
                if kind == PT_PRELOGIN:
                    self.send(self.prelogin_reply())
                elif kind == PT_LOGIN7:
                    with server.lock:
                        server.logins += 1
                    self.send(self.login_reply(payload))
                elif kind == PT_BATCH:
                    self.send(server.run(batch_text(payload)))
                elif kind == PT_ATTENTION:
                    self.send(done(DONE_ATTN))
                else:
                    self.send(error(4002, "The incoming tabular data stream (TDS) protocol "
                                          "stream is incorrect.", 20) + done(DONE_ERROR))
        except (ConnectionError, OSError):
            return

    def read_exactly(self, n):
        data = b""
        while len(data) < n:
            chunk = self.request.recv(n - len(data))
            if not chunk:
                return None
            data += chunk
        return data

    def read_message(self):
        payload = b""
        while True:
            header = self.read_exactly(8)
            if header is None:
                return None, None
            kind, status, length = struct.unpack(">BBH", header[:4])
            if length < 8:
                return None, None
            body = self.read_exactly(length - 8)
            if body is None:
                return None, None
            payload += body
            if status & STATUS_EOM:
                return kind, payload

    def send(self, data):
        chunk = PACKET_SIZE - 8
        parts = [data[i:i + chunk] for i in range(0, len(data), chunk)] or [b""]
        for number, part in enumerate(parts, 1):
            status = STATUS_EOM if number == len(parts) else 0
            header = struct.pack(">BBHHBB", PT_REPLY, status, len(part) + 8, 0, number % 256, 0)
            self.request.sendall(header + part)

    @staticmethod
    def prelogin_reply():
        options = [(0x00, struct.pack(">IH", 0x0F000000, 0)),  # version 15.0
                   (0x01, bytes([0x02])),                        # encryption not supported
                   (0x02, b"\x00"),                              # instance: ok
                   (0x03, b""),                                  # thread id
                   (0x04, b"\x00")]                              # no MARS
        offset = len(options) * 5 + 1
        head, body = b"", b""
        for token, data in options:
            head += struct.pack(">BHH", token, offset + len(body), len(data))
            body += data
        return head + b"\xFF" + body

    @staticmethod
    def login_reply(payload):
        database = "master"
        if len(payload) >= 76:
            at, count = struct.unpack("<HH", payload[72:76])
            if count and at + 2 * count <= len(payload):
                database = payload[at:at + 2 * count].decode("utf-16-le")
        ack = (bytes([1]) + struct.pack(">I", TDS74) + b_varchar("Microsoft SQL Server") +
               bytes([15, 0, 0x07, 0xD0]))
        return (envchange(1, database, "master") +
                info(5701, "Changed database context to '%s'." % database) +
                token_with_length(TK_ENVCHANGE, bytes([7, len(COLLATION)]) + COLLATION + b"\x00") +
                envchange(2, "us_english", "") +
                info(5703, "Changed language setting to us_english.") +
                token_with_length(TK_LOGINACK, ack) +
                envchange(4, str(PACKET_SIZE), str(PACKET_SIZE)) +
                done())


def batch_text(payload):
    # TDS 7.2 and later put ALL_HEADERS before the text: its first DWORD is
    # its whole length.
    if len(payload) >= 4:
        total = struct.unpack("<I", payload[:4])[0]
        if 4 <= total <= len(payload) and total <= 1024:
            payload = payload[total:]
    return payload.decode("utf-16-le", errors="replace")


class ThreadingServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser(description="TDS test server")
    parser.add_argument("data_dir")
    parser.add_argument("--fault", action="append", default=[])
    args = parser.parse_args()
    server = ThreadingServer(("127.0.0.1", 0), Connection)
    server.tds = Server(args.data_dir, set(args.fault))
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
