// JavaScript side of the browser backend (linked with --js-library).
//
// Every exit path of the program ends in exit(status), most of them inside a
// frame. The browser's loop keeps the runtime alive, and Emscripten's exit then
// merely unwinds to the loop, which calls the next frame as if nothing had
// happened. Here exit always ends the program for good, as it does elsewhere:
// the loop stops, the atexit handlers and static destructors run, and the page
// learns the status (Module.onExit).
mergeInto(LibraryManager.library, {
  exit__deps: ['$Browser'],
  exit: function(status) {
    if (typeof Browser != 'undefined' && Browser.mainLoop) Browser.mainLoop.pause();
    noExitRuntime = false;
    runtimeKeepaliveCounter = 0;
    exit(status);
  },
});
