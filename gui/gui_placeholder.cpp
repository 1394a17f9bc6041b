// The Qt front end.
