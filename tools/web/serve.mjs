// A static server for a folder, as the page's checks and tools use it: Python's
// http.server on a free port of the loopback interface, returned once it answers.
import {spawn} from 'node:child_process';
import net from 'node:net';

async function freePort() {
  return new Promise((resolve) => {
    const probe = net.createServer();
    probe.listen(0, '127.0.0.1', () => {
      const {port} = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

// {server, url}: the server's process (kill it when done) and the folder's URL,
// ending in '/'.
export async function serveFolder(dir) {
  const port = await freePort();
  const server = spawn('python3', ['-m', 'http.server', '--bind', '127.0.0.1', String(port)],
                       {cwd: dir, stdio: 'ignore'});
  for (let i = 0; i < 100; i++) {
    const up = await new Promise((resolve) => {
      const socket = net.connect(port, '127.0.0.1', () => { socket.end(); resolve(true); });
      socket.on('error', () => resolve(false));
    });
    if (up) return {server, url: `http://127.0.0.1:${port}/`};
    await new Promise((r) => setTimeout(r, 100));
  }
  server.kill();
  throw new Error('the file server did not start');
}
