#!/usr/bin/python3
# A loopback mail server for the report-mail tests: prints its port, then stores every message
# it receives and what Python's email package reads from it, into the folder given.
import asyncio
import email
import os
import sys
from email import policy

from aiosmtpd.smtp import SMTP

folder = sys.argv[1]
count = 0


class Handler:
    async def handle_DATA(self, server, session, envelope):
        global count
        count += 1
        base = os.path.join(folder, "msg%d" % count)
        with open(base + ".eml", "wb") as f:
            f.write(envelope.content)
        message = email.message_from_bytes(envelope.content, policy=policy.default)
        with open(base + ".envelope", "w", encoding="utf-8") as f:
            f.write(envelope.mail_from + "\n" + "\n".join(envelope.rcpt_tos) + "\n")
        with open(base + ".subject", "w", encoding="utf-8") as f:
            f.write(str(message["Subject"]))
        parts = [p for p in message.walk() if not p.is_multipart()]
        for i, part in enumerate(parts):
            with open("%s.part%d" % (base, i), "wb") as f:
                f.write(part.get_payload(decode=True))
            with open("%s.part%d.type" % (base, i), "w", encoding="utf-8") as f:
                f.write("%s|%s|%s" % (part.get_content_type(), part.get_content_charset() or "", part.get_filename() or ""))
        defects = [str(d) for p in message.walk() for d in p.defects]
        with open(base + ".defects", "w", encoding="utf-8") as f:
            f.write("\n".join(defects))
        # Written last: the test waits for it.
        with open(base + ".done", "w", encoding="utf-8") as f:
            f.write(str(len(parts)))
        return "250 OK"


async def main():
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: SMTP(Handler(), decode_data=False), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


asyncio.run(main())
