"""A local SMTP server for the mail tests: every message it accepts is decoded by Python's own
e-mail parser and written as JSON (envelope, headers, text, attachments saved beside it) into
the folder given; recipients whose address starts with "refused@" are refused. Prints
"ready PORT" once it listens, and runs until it is terminated."""
import json
import os
import signal
import socket
import sys
import threading
from email import policy
from email.parser import BytesParser

from aiosmtpd.controller import Controller


class Sink:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith("refused@"):
            return "550 5.1.1 No such mailbox"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content
        message = BytesParser(policy=policy.default).parsebytes(raw)
        self.count += 1
        name = "message-%03d" % self.count
        body = message.get_body(preferencelist=("plain",))
        attachments = []
        for index, part in enumerate(message.iter_attachments()):
            path = os.path.join(self.folder, "%s-attachment-%d" % (name, index))
            with open(path, "wb") as out:
                out.write(part.get_content())
            attachments.append({"filename": part.get_filename(), "content_type": part.get_content_type(), "path": path})
        lines = raw.split(b"\n")
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "from": str(message["From"]),
            "to": [str(a.addr_spec) for a in message["To"].addresses] if message["To"] else [],
            "reply_to": str(message["Reply-To"] or ""),
            "subject": str(message["Subject"]),
            "date": str(message["Date"]),
            "header_names": [k for k in message.keys()],
            # The wire's CR LF is checked by "crlf"; the text is handed on with plain line feeds.
            "body": body.get_content().replace("\r\n", "\n") if body is not None else None,
            "body_charset": body.get_content_charset() if body is not None else None,
            "attachments": attachments,
            "crlf": all(line.endswith(b"\r") for line in lines[:-1]),
        }
        temporary = os.path.join(self.folder, name + ".tmp")
        with open(temporary, "w", encoding="utf-8") as out:
            json.dump(record, out, ensure_ascii=False)
        os.rename(temporary, os.path.join(self.folder, name + ".json"))
        return "250 Message accepted"


def main():
    folder = sys.argv[1]
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    controller = Controller(Sink(folder), hostname="127.0.0.1", port=port)
    controller.start()
    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    print("ready %d" % port, flush=True)
    done.wait()
    controller.stop()


if __name__ == "__main__":
    main()
