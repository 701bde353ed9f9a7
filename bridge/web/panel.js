"use strict";
// Shows the revision and the link of the state document.
fetch("/api/v1/state")
  .then((r) => r.json())
  .then((s) => {
    document.getElementById("status").textContent =
      "Revision " + s.revision + ", link " + (s.link.up ? "up" : "down");
  });
